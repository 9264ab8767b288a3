// Expressions as symbol values and RC scripts give them: the text, with a few symbols, one of which is
// defined by another expression (so that evaluations nest).
#include "FuzzCommon.h"

#include "model/ExprEval.h"

#include <map>
#include <memory>

namespace {
class TFuzzContext;

class TTextSym : public TExprSym {
public:
    TTextSym(const QString& Name, const QString& Text, TExprContext* Context)
        : TExprSym(Name), FText(Text), FContext(Context)
    {
    }
    int32_t Evaluate() override { return EvaluateExpression(FText, FContext); }

private:
    QString FText;
    TExprContext* FContext;
};

class TFuzzContext : public TExprContext {
public:
    explicit TFuzzContext(const QString& Self)
    {
        FSymbols[QStringLiteral("ONE")] = std::make_unique<TTextSym>(QStringLiteral("ONE"), QStringLiteral("1"), this);
        FSymbols[QStringLiteral("BIG")] = std::make_unique<TTextSym>(QStringLiteral("BIG"), QStringLiteral("0x7FFFFFFF"), this);
        // The input again, as the value of a symbol it may name.
        FSymbols[QStringLiteral("SELF")] = std::make_unique<TTextSym>(QStringLiteral("SELF"), Self, this);
    }
    TExprSym* Find(const QString& Name) override
    {
        const auto it = FSymbols.find(Name);
        return it == FSymbols.end() ? nullptr : it->second.get();
    }

private:
    std::map<QString, std::unique_ptr<TExprSym>> FSymbols;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzBytes(data, size));
    FuzzRun([&] {
        TFuzzContext context(text);
        EvaluateExpression(text, &context);
    });
    return 0;
}
