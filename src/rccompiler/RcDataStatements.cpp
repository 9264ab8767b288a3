#include "RcStatements.h"

namespace rc {

namespace {

[[noreturn]] void NotYet(TParser& Parser, const TResourceStatement& Statement, const char* Keyword)
{
    Parser.Diagnostics().Fatal(Statement.File, Statement.Line, rcErrUnsupported,
                               QStringLiteral("unsupported statement: %1").arg(QLatin1String(Keyword)));
}

} // namespace

void CompileStringTable(TParser& Parser, const TToken& At)
{
    Parser.Diagnostics().Fatal(At.File, At.Line, rcErrUnsupported, QStringLiteral("unsupported statement: STRINGTABLE"));
}

void CompileAccelerators(TParser& Parser, TResourceStatement& Statement) { NotYet(Parser, Statement, "ACCELERATORS"); }
void CompileData(TParser& Parser, TResourceStatement& Statement) { NotYet(Parser, Statement, "RCDATA"); }
void CompileBitmap(TParser& Parser, TResourceStatement& Statement) { NotYet(Parser, Statement, "BITMAP"); }
void CompileIcon(TParser& Parser, TResourceStatement& Statement) { NotYet(Parser, Statement, "ICON"); }
void CompileCursor(TParser& Parser, TResourceStatement& Statement) { NotYet(Parser, Statement, "CURSOR"); }
void CompileFont(TParser& Parser, TResourceStatement& Statement) { NotYet(Parser, Statement, "FONT"); }
void CompileTextInclude(TParser& Parser, TResourceStatement& Statement) { NotYet(Parser, Statement, "TEXTINCLUDE"); }
void CompileToolbar(TParser& Parser, TResourceStatement& Statement) { NotYet(Parser, Statement, "TOOLBAR"); }
void AddFontDirectory(TParser& Parser) { Q_UNUSED(Parser); }

} // namespace rc
