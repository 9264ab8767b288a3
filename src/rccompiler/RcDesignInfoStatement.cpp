#include "RcStatements.h"

namespace rc {

void CompileDesignInfo(TParser& Parser, TResourceStatement& Statement)
{
    Parser.Diagnostics().Fatal(Statement.File, Statement.Line, rcErrUnsupported,
                               QStringLiteral("unsupported statement: %1").arg(QStringLiteral("DESIGNINFO")));
}

} // namespace rc
