#include "RcCompiler.h"

namespace rc {

int RCW(ICompilerHost& Host, const QStringList& Args)
{
    Q_UNUSED(Args);
    Host.Line(QStringLiteral("RC : error RC1000 : the compiler is not built yet"), true);
    return 1;
}

} // namespace rc
