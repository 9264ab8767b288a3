// Fonts (RT_FONT), kept as raw bytes, and what a font file says about its faces: read from its own
// tables (TrueType and OpenType, also collections, and the header of Windows .fnt fonts), without
// installing it anywhere.
#pragma once

#include "model/koResourcesKinds.h"

#include <QList>
#include <cstdint>

class TFontResourceItem : public TCustomResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TFontResourceItem, TCustomResourceItemGeneric)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)

public:
    explicit TFontResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    // TrueType or OpenType data; Windows .fnt files are offered with the fonts but go to other kinds.
    static bool HandlesFile(const QString&, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("Font"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

// Scoped: the version information kind names its file types with the same prefix.
enum class TFontType { ftUnknown, ftTrueType, ftOpenType, ftOpenTypeTT, ftOpenTypePS, ftVector, ftRaster, ftPostscript };

// Character sets as the platform numbers them.
inline constexpr uint8_t ANSI_CHARSET = 0;
inline constexpr uint8_t SYMBOL_CHARSET = 2;
inline constexpr uint8_t MAC_CHARSET = 77;
inline constexpr uint8_t SHIFTJIS_CHARSET = 128;
inline constexpr uint8_t HANGEUL_CHARSET = 129;
inline constexpr uint8_t JOHAB_CHARSET = 130;
inline constexpr uint8_t GB2312_CHARSET = 134;
inline constexpr uint8_t CHINESEBIG5_CHARSET = 136;
inline constexpr uint8_t GREEK_CHARSET = 161;
inline constexpr uint8_t TURKISH_CHARSET = 162;
inline constexpr uint8_t VIETNAMESE_CHARSET = 163;
inline constexpr uint8_t HEBREW_CHARSET = 177;
inline constexpr uint8_t ARABIC_CHARSET = 178;
inline constexpr uint8_t BALTIC_CHARSET = 186;
inline constexpr uint8_t RUSSIAN_CHARSET = 204;
inline constexpr uint8_t THAI_CHARSET = 222;
inline constexpr uint8_t EASTEUROPE_CHARSET = 238;
inline constexpr uint8_t OEM_CHARSET = 255;

// One face of a font file.
struct TLogFont {
    QString FaceName;      // family name
    QString StyleName;     // "Regular", "Bold Oblique", ...
    int Weight = 400;      // 100 to 900
    bool Italic = false;
    uint8_t CharSet = ANSI_CHARSET; // the first of CharSets
    QList<uint8_t> CharSets;        // every character set the face covers, in ascending code-page bit order
};
using TLogFontList = QList<TLogFont>;

// The kind of the font and its faces. Data that is no TrueType, OpenType or Windows (.fnt) font gives
// TFontType::ftUnknown and no faces; a font whose tables lie outside the data raises EReadError naming what
// is broken.
TFontType GetFontDataInfo(const QByteArray& Data, TLogFontList& LogFonts);
// The same for a file; a file that cannot be read gives TFontType::ftUnknown and no faces.
TFontType GetFontFileInfo(const QString& FileName, TLogFontList& LogFonts);

void koResourceItemFont_Initialize();
void koResourceItemFont_Finalize();
