#pragma once

#include "RcToken.h"

#include <QString>

namespace rc {

// The value of a #if expression whose macros are expanded and whose defined() are numbers already:
// C integer arithmetic in 64 bits, unsigned when an operand is; identifiers left over are 0. A problem
// (syntax, division by zero, a number too big) sets Error and Code; the result is then false.
bool EvaluateCondition(const TTokens& Tokens, QString& Error, int& Code);

} // namespace rc
