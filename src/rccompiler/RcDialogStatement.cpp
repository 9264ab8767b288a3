#include "RcStatements.h"

namespace rc {

void CompileDialog(TParser& Parser, TResourceStatement& Statement, bool Extended)
{
    Parser.Diagnostics().Fatal(Statement.File, Statement.Line, rcErrUnsupported,
                               QStringLiteral("unsupported statement: %1").arg(Extended ? QStringLiteral("DIALOGEX") : QStringLiteral("DIALOG")));
}

} // namespace rc
