// Binds the expression evaluator to a module's symbol table.
#pragma once

#include <QString>
#include <cstdint>

class TResourceSymbols;

// Raises ExpressionEvaluateError when the text is no valid expression over the table.
int32_t EvaluateSymbolExpression(const QString& Value, const TResourceSymbols* Symbols);
