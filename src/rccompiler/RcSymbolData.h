#pragma once

#include "RcParser.h"

#include <QByteArray>

#include <vector>

namespace rc {

// The file map (HWB 201): per resource taken from a file, its type and name (sz_Or_Ord), language and
// the file name as written (UTF-16, zero-terminated).
QByteArray FileMapData(const std::vector<TFileRecord>& Files);

// The symbol map (HWB 202): per resource statement its type and name texts, the macro that named it,
// its file and line (ANSI strings, WORD), then its children (symbol, WORD ID) ended by ("$", 0xFFFF);
// the list ends with "$" and 0xFFFF.
QByteArray SymbolMapData(const std::vector<TSymbolRecord>& Symbols);

// Adds the HWB resources of symbol mode: 200 (the preprocessor's symbol definitions, when there are
// any), 201 (when a resource came from a file) and 202.
void AddSymbolResources(std::vector<TResource>& Resources, const QByteArray& Definitions,
                        const std::vector<TFileRecord>& Files, const std::vector<TSymbolRecord>& Symbols);

} // namespace rc
