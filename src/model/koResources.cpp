#include "koResources.h"

#include "koResourcesItem.h"
#include "platform/Exceptions.h"
#include "platform/Languages.h"
#include "platform/PublishedProperties.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

#include <QVariant>
#include <algorithm>

namespace {
const char* const SLanguageNeutral = "Language neutral";

struct TResourceTypeName {
    const char* Keyword;
    const char* DisplayText; // nullptr: the keyword is shown
};

const TResourceTypeName ResourceTypeNames[24] = {
    {"CURSOR", "Cursor"},
    {"BITMAP", "Bitmap"},
    {"ICON", "Icon"},
    {"MENU", "Menu"},
    {"DIALOG", "Dialog"},
    {"STRING", "String table"},
    {"FONTDIR", "Font directory"},
    {"FONT", "Font"},
    {"ACCELERATOR", "Accelerator"},
    {"RCDATA", "RCDATA"},
    {"MESSAGETABLE", "Message table"},
    {"GROUP_CURSOR", "Cursor"},
    {"*NEWBITMAP", nullptr},
    {"GROUP_ICON", "Icon"},
    {"*NAMETABLE", nullptr},
    {"VERSION", "VersionInfo"},
    {"DLGINCLUDE", nullptr},
    {"*DIALOGEX", nullptr},
    {"PLUGPLAY", "Plug and Play"},
    {"VXD", "VXD"},
    {"ANICURSOR", "Animated cursor"},
    {"ANIICON", "Animated icon"},
    {"HTML", "HTML"},
    {"MANIFEST", "Manifest"},
};

// Reads one sz_Or_Ord or string field; marker2 is a second ordinal marker (0 for none).
template <typename TChar, typename TString>
int ReadField(TStream& stream, TString& result, int maxLen, bool stopAtNull, bool allowOrdinal, char16_t marker2)
{
    result.clear();
    if (maxLen <= 0) return 0;
    int bytes = 0;
    int stored = 0;
    while (stored < maxLen) {
        uint8_t raw[sizeof(TChar)];
        if (stream.Read(raw, sizeof(TChar)) < static_cast<int64_t>(sizeof(TChar))) break;
        TChar ch = raw[0];
        if constexpr (sizeof(TChar) == 2) ch = static_cast<TChar>(raw[0] | (raw[1] << 8));
        if constexpr (sizeof(TChar) == 2) {
            if (allowOrdinal && bytes == 0 && (ch == ResourceOrdinalMarker || (marker2 != 0 && ch == marker2))) {
                result.append(QChar(ResourceOrdinalMarker));
                bytes += 2;
                uint8_t value[2];
                if (stream.Read(value, 2) == 2) {
                    result.append(QChar(static_cast<char16_t>(value[0] | (value[1] << 8))));
                    bytes += 2;
                }
                return bytes;
            }
        }
        bytes += sizeof(TChar);
        if (stopAtNull && ch == 0) break;
        if constexpr (sizeof(TChar) == 1)
            result.append(static_cast<char>(ch));
        else
            result.append(QChar(ch));
        ++stored;
    }
    return bytes;
}
} // namespace

TResourceIdent TResourceIdent::FromOrdinal(uint16_t value)
{
    QString s(2, QChar(ResourceOrdinalMarker));
    s[1] = QChar(value);
    return TResourceIdent(s);
}

bool IsOrdinalResourceIdent(const QString& ident, char16_t marker)
{
    return ident.size() >= 2 && ident.at(0).unicode() == marker;
}

uint16_t ResourceIdentOrdinal(const QString& ident)
{
    return ident.size() >= 2 ? ident.at(1).unicode() : 0;
}

QString ResourceIdentToText(const QString& ident)
{
    return IsOrdinalResourceIdent(ident) ? QString::number(ResourceIdentOrdinal(ident)) : ident;
}

TResourceIdent TextToResourceIdent(const QString& text)
{
    int32_t value;
    if (TryStrToInt(text, value)) return TResourceIdent::FromOrdinal(static_cast<uint16_t>(value));
    return TResourceIdent(text);
}

TResourceIdent PCharToResourceIdent(const char16_t* p)
{
    const auto address = reinterpret_cast<uintptr_t>(p);
    if (address <= 0xFFFF) return TResourceIdent::FromOrdinal(static_cast<uint16_t>(address));
    // Taken as it stands: a leading U+FEFF is part of the name.
    const QString text(reinterpret_cast<const QChar*>(p));
    if (text.size() > 1 && text.at(0) == QLatin1Char('#'))
        return TResourceIdent::FromOrdinal(static_cast<uint16_t>(StrToInt(text.mid(1))));
    return TResourceIdent(text);
}

const char16_t* ResourceIdentToPChar(const TResourceIdent& ident)
{
    if (IsOrdinalResourceIdent(ident))
        return reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(ResourceIdentOrdinal(ident)));
    return reinterpret_cast<const char16_t*>(ident.utf16());
}

QString ResourceIdentToString(const QString& ident)
{
    return IsOrdinalResourceIdent(ident) ? QStringLiteral("#%1").arg(ResourceIdentOrdinal(ident)) : ident;
}

QString LanguageIDToString(uint16_t langID)
{
    if (langID == 0) return QString::fromLatin1(SLanguageNeutral);
    if (const TLanguageInfo* info = FindLanguage(langID)) return QString::fromUtf8(info->Name);
    // A language without sublanguage is named after the language of its default sublanguage.
    if (SubLangID(langID) == 0)
        if (const TLanguageInfo* info = FindLanguage(MakeLangID(PrimaryLangID(langID), 1))) {
            const QString name = QString::fromUtf8(info->Name);
            const int region = name.indexOf(QLatin1String(" ("));
            return region > 0 ? name.left(region) : name;
        }
    return QString::number(langID);
}

QString ResourceTypeIDToKeyword(uint16_t typeID)
{
    if (typeID >= 1 && typeID <= 24) return QString::fromLatin1(ResourceTypeNames[typeID - 1].Keyword);
    return QStringLiteral("#%1").arg(typeID);
}

QString ResourceTypeToKeyword(const QString& type)
{
    return IsOrdinalResourceIdent(type) ? ResourceTypeIDToKeyword(ResourceIdentOrdinal(type)) : type;
}

QString ResourceTypeToFriendlyName(const QString& type)
{
    if (IsOrdinalResourceIdent(type)) {
        const uint16_t id = ResourceIdentOrdinal(type);
        if (id >= 1 && id <= 24 && ResourceTypeNames[id - 1].DisplayText)
            return QString::fromLatin1(ResourceTypeNames[id - 1].DisplayText);
    }
    return ResourceTypeToKeyword(type);
}

uint16_t ResourceTypeKeywordToID(const QString& keyword)
{
    for (int i = 0; i < 24; ++i)
        if (SameText(keyword, QString::fromLatin1(ResourceTypeNames[i].Keyword))) return static_cast<uint16_t>(i + 1);
    return 0;
}

int CompareResourceIdents(const QString& a, const QString& b)
{
    const bool ordA = IsOrdinalResourceIdent(a);
    const bool ordB = IsOrdinalResourceIdent(b);
    if (ordA && ordB) return int(ResourceIdentOrdinal(a)) - int(ResourceIdentOrdinal(b));
    if (ordA) return -1;
    if (ordB) return 1;
    return CompareText(a, b);
}

int CompareResourceItems(const TCustomResourceItem* a, const TCustomResourceItem* b)
{
    const int result = CompareResourceIdents(a->ResourceType(), b->ResourceType());
    if (result != 0) return result;
    return CompareResourceIdents(a->Name(), b->Name());
}

bool ExtractResourceIdent(const uint8_t*& p, const uint8_t* end, int maxLen, TResourceIdent& ident)
{
    auto word = [](const uint8_t* at) { return static_cast<char16_t>(at[0] | (at[1] << 8)); };
    const uint8_t* q = p;
    if (end - q < 2) return false;
    if (word(q) == ResourceOrdinalMarker) {
        if (end - q < 4) return false;
        ident = TResourceIdent::FromOrdinal(word(q + 2));
        p = q + 4;
        return true;
    }
    QString name;
    while (name.size() < maxLen && end - q >= 2 && word(q) != 0) {
        name.append(QChar(word(q)));
        q += 2;
    }
    // Skip the terminator (or the word after a name cut at maxLen); it must be inside the data.
    if (end - q < 2) return false;
    ident = TResourceIdent(name);
    p = q + 2;
    return true;
}

int StoreResourceIdent(const TResourceIdent& ident, uint8_t*& p, const uint8_t* end, int maxSize)
{
    ATELIER_ASSERT(maxSize > 0);
    auto put = [&p](char16_t ch) {
        p[0] = static_cast<uint8_t>(ch);
        p[1] = static_cast<uint8_t>(ch >> 8);
        p += 2;
    };
    if (IsOrdinalResourceIdent(ident)) {
        ATELIER_ASSERT(end - p >= 4);
        put(ResourceOrdinalMarker);
        put(ResourceIdentOrdinal(ident));
        return 4;
    }
    const int count = std::min<int>(maxSize - 1, static_cast<int>(ident.size()));
    ATELIER_ASSERT(end - p >= 2 * (count + 1));
    for (int i = 0; i < count; ++i) put(ident.at(i).unicode());
    put(0);
    return 2 * (count + 1);
}

int ReadResourceIdent(TStream& stream, TResourceIdent& ident, int maxLen, bool stopAtNull)
{
    QString s;
    const int bytes = ReadField<char16_t>(stream, s, maxLen, stopAtNull, true, 0);
    ident = TResourceIdent(s);
    return bytes;
}

int ReadResourceIdentString(TStream& stream, QString& ident, int maxLen, bool stopAtNull)
{
    return ReadField<char16_t>(stream, ident, maxLen, stopAtNull, true, 0);
}

int ReadResourceIdentEx(TStream& stream, TResourceIdent& ident, int maxLen, bool stopAtNull)
{
    QString s;
    const int bytes = ReadField<char16_t>(stream, s, maxLen, stopAtNull, true, 0xFF00);
    ident = TResourceIdent(s);
    return bytes;
}

int ReadWideString(TStream& stream, QString& s, int count, bool stopAtNull)
{
    return ReadField<char16_t>(stream, s, count, stopAtNull, false, 0);
}

int ReadAnsiString(TStream& stream, QByteArray& s, int count, bool stopAtNull)
{
    return ReadField<uint8_t>(stream, s, count, stopAtNull, false, 0);
}

int WriteResourceIdent(TStream& stream, const QString& ident, char16_t marker)
{
    if (IsOrdinalResourceIdent(ident, marker)) {
        stream.WriteWord(ident.at(0).unicode());
        stream.WriteWord(ident.at(1).unicode());
        return 4;
    }
    return WriteWideString(stream, ident, true);
}

int WriteWideString(TStream& stream, const QString& s, bool withNull)
{
    QByteArray bytes;
    bytes.reserve((s.size() + 1) * 2);
    for (QChar ch : s) {
        bytes.append(static_cast<char>(ch.unicode() & 0xFF));
        bytes.append(static_cast<char>(ch.unicode() >> 8));
    }
    if (withNull) bytes.append(2, '\0');
    stream.WriteBytes(bytes);
    return static_cast<int>(bytes.size());
}

int AlignStream(TStream& stream, int position, int alignment)
{
    ATELIER_ASSERT(alignment > 0 && (alignment & (alignment - 1)) == 0);
    while ((position & (alignment - 1)) != 0) {
        stream.WriteByte(0);
        ++position;
    }
    return position;
}

bool MatchSignature(TStream* stream, const QByteArray& signature, const QByteArray& mask, int64_t offset)
{
    ATELIER_ASSERT(mask.size() <= signature.size());
    if (!stream) return false;
    const int64_t saved = stream->Position();
    QByteArray data;
    try {
        stream->SetPosition(offset);
        data = stream->ReadBytes(signature.size());
    } catch (...) {
        stream->SetPosition(saved);
        throw;
    }
    stream->SetPosition(saved);
    if (data.size() < signature.size()) return false;
    for (qsizetype i = 0; i < signature.size(); ++i) {
        const uint8_t d = static_cast<uint8_t>(data.at(i));
        const uint8_t s = static_cast<uint8_t>(signature.at(i));
        if (i < mask.size()) {
            const uint8_t m = static_cast<uint8_t>(mask.at(i));
            if ((d & m) != (s & m)) return false;
        } else if (d != s) {
            return false;
        }
    }
    return true;
}

bool MatchWideSignature(TStream* stream, const QString& text, int64_t offset)
{
    QByteArray signature;
    for (QChar ch : text) {
        signature.append(static_cast<char>(ch.unicode() & 0xFF));
        signature.append(static_cast<char>(ch.unicode() >> 8));
    }
    return MatchSignature(stream, signature, QByteArray(), offset);
}

void koResources_Initialize()
{
    RegisterPropertyType(QMetaType::fromType<TResourceIdent>(),
                         {QStringLiteral("TResourceIdent"),
                          [](const QVariant& v) { return ResourceIdentToText(v.value<TResourceIdent>()); },
                          [](const QString& text) { return QVariant::fromValue(TextToResourceIdent(text)); }});
}
