#include "RcStatements.h"

namespace rc {

void CompileVersionInfo(TParser& Parser, TResourceStatement& Statement)
{
    Parser.Diagnostics().Fatal(Statement.File, Statement.Line, rcErrUnsupported,
                               QStringLiteral("unsupported statement: %1").arg(QStringLiteral("VERSIONINFO")));
}

} // namespace rc
