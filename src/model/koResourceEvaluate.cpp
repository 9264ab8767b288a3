#include "koResourceEvaluate.h"

#include "ExprEval.h"
#include "koResourcesSymbols.h"
#include "platform/Format.h"

#include <memory>
#include <vector>

namespace {
const char* const SInvalidSymbolValue = "Invalid numeric symbol value. Symbol: '%s', Value: '%s'";

// A module symbol as an operand: its stored value, which must be a number.
class TExprSymSym final : public TExprSym {
public:
    explicit TExprSymSym(TResourceSymbol* ASymbol) : TExprSym(ASymbol->Symbol()), FSymbol(ASymbol) {}
    int32_t Evaluate() override
    {
        if (!FSymbol->IsNumeric())
            throw ExpressionEvaluateError(
                Format(QString::fromLatin1(SInvalidSymbolValue), {FSymbol->Symbol(), FSymbol->ValueText()}));
        return FSymbol->Value().toInt();
    }

private:
    TResourceSymbol* FSymbol;
};

class TSymbolContext final : public TExprContext {
public:
    explicit TSymbolContext(const TResourceSymbols* ASymbols) : FSymbols(ASymbols) {}
    TExprSym* Find(const QString& Name) override
    {
        for (const auto& sym : FExpressionSymbols)
            if (sym->Ident() == Name) return sym.get();
        TResourceSymbol* symbol = FSymbols ? FSymbols->Find(Name) : nullptr;
        if (!symbol) return nullptr;
        FExpressionSymbols.push_back(std::make_unique<TExprSymSym>(symbol));
        return FExpressionSymbols.back().get();
    }

private:
    const TResourceSymbols* FSymbols;
    std::vector<std::unique_ptr<TExprSym>> FExpressionSymbols;
};
} // namespace

int32_t EvaluateSymbolExpression(const QString& Value, const TResourceSymbols* Symbols)
{
    TSymbolContext context(Symbols);
    return EvaluateExpression(Value, &context);
}
