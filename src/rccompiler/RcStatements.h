#pragma once

#include "RcParser.h"

// The statement compilers. Each resource statement compiler is called with the cursor after the
// statement's type keyword and its memory-flag keywords; Statement holds the type, the name (with the
// macro that gave it), the language in force, the default or written memory flags and where the
// statement starts. It parses the rest of the statement (its optional statements through
// TParser::CommonOption and its body), records child IDs written as macros (Statement.AddChild) and
// emits its resources (TParser::Emit). The caller adds the statement's symbol-map record afterwards.
namespace rc {

// STRINGTABLE: the keyword has been consumed; adds its own symbol-map records (one per block).
void CompileStringTable(TParser& Parser, const TToken& At);
// The string blocks, emitted when the script is parsed (blocks merge over the whole script).
void FinishStringTables(TParser& Parser);
std::shared_ptr<TParser::TStringTables> NewStringTables();

void CompileAccelerators(TParser& Parser, TResourceStatement& Statement);
// A BEGIN..END data block (of a data statement or a dialog control): numbers are WORDs (L-suffixed
// DWORDs), narrow strings bytes in their code page, L"" strings UTF-16; nothing follows a string.
QByteArray DataBlock(TParser& Parser);
// RCDATA, user-defined types (named or numeric), and the file-only types MESSAGETABLE, HTML,
// MANIFEST, ANICURSOR, ANIICON, DLGINCLUDE: from a file or a BEGIN..END data block.
void CompileData(TParser& Parser, TResourceStatement& Statement);
void CompileBitmap(TParser& Parser, TResourceStatement& Statement);
void CompileIcon(TParser& Parser, TResourceStatement& Statement);
void CompileCursor(TParser& Parser, TResourceStatement& Statement);
void CompileFont(TParser& Parser, TResourceStatement& Statement);
void CompileTextInclude(TParser& Parser, TResourceStatement& Statement);
void CompileToolbar(TParser& Parser, TResourceStatement& Statement);
// The FONTDIR resource of every FONT of the compile, added at the end.
void AddFontDirectory(TParser& Parser);

// DIALOG and DIALOGEX (Extended).
void CompileDialog(TParser& Parser, TResourceStatement& Statement, bool Extended);
// MENU and MENUEX (Extended).
void CompileMenu(TParser& Parser, TResourceStatement& Statement, bool Extended);
void CompileVersionInfo(TParser& Parser, TResourceStatement& Statement);
void CompileDesignInfo(TParser& Parser, TResourceStatement& Statement);

} // namespace rc
