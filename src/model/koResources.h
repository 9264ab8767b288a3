// Resource type and name identifiers: one string type for both forms (an ordinal is the character
// 0xFFFF followed by the character of its value; anything else is a name), the conversions and display
// texts around it, the order of items, and the readers and writers of name-or-ordinal fields.
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <cstdint>

#include "platform/Sets.h"

class TStream;
class TCustomResourceItem;

// A resource type or name. Distinct from QString so that published properties can tell it apart.
class TResourceIdent : public QString {
public:
    TResourceIdent() = default;
    TResourceIdent(const QString& value) : QString(value) {}
    TResourceIdent(QString&& value) : QString(std::move(value)) {}
    static TResourceIdent FromOrdinal(uint16_t value);
};
Q_DECLARE_METATYPE(TResourceIdent)

inline constexpr char16_t ResourceOrdinalMarker = 0xFFFF;

// Standard resource types.
enum : uint16_t {
    RT_CURSOR = 1, RT_BITMAP = 2, RT_ICON = 3, RT_MENU = 4, RT_DIALOG = 5, RT_STRING = 6, RT_FONTDIR = 7,
    RT_FONT = 8, RT_ACCELERATOR = 9, RT_RCDATA = 10, RT_MESSAGETABLE = 11, RT_GROUP_CURSOR = 12,
    RT_GROUP_ICON = 14, RT_VERSION = 16, RT_DLGINCLUDE = 17, RT_PLUGPLAY = 19, RT_VXD = 20,
    RT_ANICURSOR = 21, RT_ANIICON = 22, RT_HTML = 23, RT_MANIFEST = 24,
};

// What a file type offers: loading (import, open) and saving (export, save).
enum TResourceFileCapability { fcLoad, fcSave };
using TResourceFilerCapabilities = TSet<TResourceFileCapability>;

// Tests and conversions
bool IsOrdinalResourceIdent(const QString& ident, char16_t marker = ResourceOrdinalMarker);
uint16_t ResourceIdentOrdinal(const QString& ident);
QString ResourceIdentToText(const QString& ident);
TResourceIdent TextToResourceIdent(const QString& text);
// A pointer value up to 0xFFFF is an integer resource; "#123" is the ordinal 123.
TResourceIdent PCharToResourceIdent(const char16_t* p);
// Valid as long as ident lives.
const char16_t* ResourceIdentToPChar(const TResourceIdent& ident);

// Display texts
QString ResourceIdentToString(const QString& ident);
QString LanguageIDToString(uint16_t langID);
QString ResourceTypeIDToKeyword(uint16_t typeID);
QString ResourceTypeToKeyword(const QString& type);
QString ResourceTypeToFriendlyName(const QString& type);
// The ordinal type of an RC keyword of the standard types (case-insensitive), 0 when none.
uint16_t ResourceTypeKeywordToID(const QString& keyword);

// Order of items: types, then names; ordinals before names, names case-insensitively (ASCII).
int CompareResourceIdents(const QString& a, const QString& b);
int CompareResourceItems(const TCustomResourceItem* a, const TCustomResourceItem* b);

// Name-or-ordinal fields in memory. The reader never reads at or past end: it returns false when the
// field does not fit in the data (p is then unchanged).
bool ExtractResourceIdent(const uint8_t*& p, const uint8_t* end, int maxLen, TResourceIdent& ident);
// maxSize counts characters including the terminator (above 0); the buffer must hold what is written.
int StoreResourceIdent(const TResourceIdent& ident, uint8_t*& p, const uint8_t* end, int maxSize);

// Name-or-ordinal fields and strings in streams; each returns the bytes consumed or written.
int ReadResourceIdent(TStream& stream, TResourceIdent& ident, int maxLen, bool stopAtNull);
int ReadResourceIdentString(TStream& stream, QString& ident, int maxLen, bool stopAtNull);
// As ReadResourceIdent, but a first word of 0xFF00 also marks an ordinal (dialog control classes).
int ReadResourceIdentEx(TStream& stream, TResourceIdent& ident, int maxLen, bool stopAtNull);
int ReadWideString(TStream& stream, QString& s, int count, bool stopAtNull);
int ReadAnsiString(TStream& stream, QByteArray& s, int count, bool stopAtNull);
int WriteResourceIdent(TStream& stream, const QString& ident, char16_t marker = ResourceOrdinalMarker);
int WriteWideString(TStream& stream, const QString& s, bool withNull);
// Writes zeros from position up to the next multiple of alignment (a power of two).
int AlignStream(TStream& stream, int position, int alignment);

// Masked comparison of the bytes at offset; the position is kept, also when reading raises.
// A null stream matches nothing.
bool MatchSignature(TStream* stream, const QByteArray& signature, const QByteArray& mask, int64_t offset);
bool MatchWideSignature(TStream* stream, const QString& text, int64_t offset);

void koResources_Initialize();
