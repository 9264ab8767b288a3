#include "RcStatements.h"

namespace rc {

void CompileMenu(TParser& Parser, TResourceStatement& Statement, bool Extended)
{
    Parser.Diagnostics().Fatal(Statement.File, Statement.Line, rcErrUnsupported,
                               QStringLiteral("unsupported statement: %1").arg(Extended ? QStringLiteral("MENUEX") : QStringLiteral("MENU")));
}

} // namespace rc
