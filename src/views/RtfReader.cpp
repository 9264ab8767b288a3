#include "RtfReader.h"

#include "platform/CodePages.h"

#include <QColor>
#include <QHash>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <vector>

namespace {

// Deeper groups are read as holding no text: a stack of states per byte of input would be unbounded.
const int MaxGroupDepth = 1000;
// Longer parameters are read to their end but keep the value of their first digits.
const int MaxParameterDigits = 10;
// Longer control words are read to their end and match no known word.
const int MaxWordLength = 32;
const int DefaultFontSize = 24;  // half points
const int MaxFontSize = 3276;    // half points
const int MaxIndentTwips = 31680; // 22 inches
const double TwipsPerPixel = 15.0; // at 96 pixels per inch
const uint32_t FallbackCodePage = 1252;

enum TDestination { dsText, dsFontTable, dsColorTable, dsSkip };

enum TWord {
    wdNone,
    // destinations
    wdSkipDestination, wdFontTable, wdColorTable,
    // document
    wdAnsiCodePage, wdPc, wdPca, wdDefaultFont,
    // font and colour tables
    wdFont, wdCharset, wdRed, wdGreen, wdBlue,
    // characters
    wdPar, wdLine, wdTab, wdUnicode, wdUnicodeSkip, wdBin,
    wdEmDash, wdEnDash, wdBullet, wdLQuote, wdRQuote, wdLDblQuote, wdRDblQuote, wdEmSpace, wdEnSpace,
    // character formats
    wdBold, wdItalic, wdUnderline, wdUnderlineNone, wdStrike, wdPlain, wdFontSize, wdForeground, wdBackground,
    // paragraph formats
    wdPard, wdLeft, wdCenter, wdRight, wdJustify, wdLeftIndent, wdRightIndent, wdFirstIndent,
};

const QHash<QByteArray, TWord>& Words()
{
    static const QHash<QByteArray, TWord> words = [] {
        QHash<QByteArray, TWord> w;
        // Groups that hold no text of the document.
        for (const char* name : {"stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer",
                                 "footerl", "footerr", "footerf", "footnote", "annotation", "fldinst", "objdata",
                                 "nonshppict", "listtable", "listoverridetable", "revtbl", "rsidtbl", "filetbl",
                                 "xmlnstbl", "themedata", "colorschememapping", "datastore", "latentstyles",
                                 "generator", "template", "xe", "tc", "txe", "bkmkstart", "bkmkend", "atnid",
                                 "atnauthor", "private", "pgdsctbl"})
            w.insert(name, wdSkipDestination);
        const std::pair<const char*, TWord> table[] = {
            {"fonttbl", wdFontTable}, {"colortbl", wdColorTable},
            {"ansicpg", wdAnsiCodePage}, {"pc", wdPc}, {"pca", wdPca}, {"deff", wdDefaultFont},
            {"f", wdFont}, {"fcharset", wdCharset}, {"red", wdRed}, {"green", wdGreen}, {"blue", wdBlue},
            {"par", wdPar}, {"sect", wdPar}, {"page", wdPar}, {"row", wdPar}, {"line", wdLine}, {"tab", wdTab},
            {"cell", wdTab}, {"u", wdUnicode}, {"uc", wdUnicodeSkip}, {"bin", wdBin},
            {"emdash", wdEmDash}, {"endash", wdEnDash}, {"bullet", wdBullet}, {"lquote", wdLQuote},
            {"rquote", wdRQuote}, {"ldblquote", wdLDblQuote}, {"rdblquote", wdRDblQuote},
            {"emspace", wdEmSpace}, {"enspace", wdEnSpace},
            {"b", wdBold}, {"i", wdItalic}, {"ul", wdUnderline}, {"ulnone", wdUnderlineNone},
            {"strike", wdStrike}, {"plain", wdPlain}, {"fs", wdFontSize}, {"cf", wdForeground},
            {"cb", wdBackground}, {"highlight", wdBackground},
            {"pard", wdPard}, {"ql", wdLeft}, {"qc", wdCenter}, {"qr", wdRight}, {"qj", wdJustify},
            {"li", wdLeftIndent}, {"ri", wdRightIndent}, {"fi", wdFirstIndent},
        };
        for (const auto& [name, word] : table) w.insert(name, word);
        return w;
    }();
    return words;
}

// The code page of a font's character set; 0 when the set names none (default, symbol, unknown).
uint32_t CharsetCodePage(int Charset)
{
    switch (Charset) {
    case 0: return 1252;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;
    }
}

struct TCharProps {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strike = false;
    int FontSize = DefaultFontSize;
    int Font = 0;
    int Foreground = 0; // colour table index; 0 is automatic
    int Background = 0;
    bool operator==(const TCharProps&) const = default;
};

struct TParaProps {
    Qt::Alignment Alignment = Qt::AlignLeft;
    int LeftIndent = 0; // twips
    int RightIndent = 0;
    int FirstIndent = 0;
};

struct TState {
    TCharProps Char;
    TParaProps Para;
    TDestination Destination = dsText;
    int UnicodeSkip = 1;
};

struct TRun {
    TCharProps Props;
    QString Text;
};

struct TParagraph {
    TParaProps Props;
    std::vector<TRun> Runs;
};

struct TFont {
    QString Name;
    int Charset = -1;
};

class TRtfReader {
public:
    explicit TRtfReader(const QByteArray& Rtf) : FData(Rtf), FSize(Rtf.size()) { FParagraphs.emplace_back(); }
    void Read();
    void Build(QTextDocument& Document) const;

private:
    uint8_t Byte(qsizetype Index) const { return static_cast<uint8_t>(FData.at(Index)); }
    TState* State() { return FStack.empty() || FOverflow > 0 ? nullptr : &FStack.back(); }
    void OpenGroup();
    void CloseGroup();
    void ControlSequence();
    void ControlWord();
    void ControlSymbol(char Symbol);
    void Word(TWord Word, bool HasParameter, int Parameter);
    // A byte of text: decoded in the code page of the text it belongs to once the run of bytes ends.
    void TextByte(uint8_t Value);
    // A character not subject to a code page.
    void TextChar(const QString& Text);
    void FlushBytes();
    void AppendText(const QString& Text);
    void FinishFontEntry();
    uint32_t TextCodePage() const;
    QTextCharFormat CharFormat(const TCharProps& Props) const;

    const QByteArray& FData;
    const qsizetype FSize;
    qsizetype FPos = 0;
    std::vector<TState> FStack;
    // Groups opened beyond the depth cap and not closed yet.
    int FOverflow = 0;
    // Characters of a Unicode character's fallback still to skip.
    int64_t FPendingSkip = 0;
    QByteArray FBytes;
    TDestination FBytesDestination = dsText;
    uint32_t FAnsiCodePage = 0;
    int FDefaultFont = 0;
    std::map<int, TFont> FFonts;
    int FFontEntry = 0;
    QString FFontName;
    std::vector<QColor> FColors;
    int FRed = -1, FGreen = -1, FBlue = -1;
    std::vector<TParagraph> FParagraphs;
    // The paragraph format when the document's group closed, for the last paragraph.
    TParaProps FLastPara;
};

int ClampInt(int64_t Value, int64_t Low, int64_t High) { return static_cast<int>(std::clamp(Value, Low, High)); }

void TRtfReader::Read()
{
    while (FPos < FSize) {
        const char c = FData.at(FPos++);
        switch (c) {
        case '{': OpenGroup(); break;
        case '}': CloseGroup(); break;
        case '\\': ControlSequence(); break;
        case '\r':
        case '\n': break;
        default: TextByte(static_cast<uint8_t>(c));
        }
    }
    FlushBytes();
    // A document whose group never closed ends with the format in effect.
    FParagraphs.back().Props = FStack.empty() ? FLastPara : FStack.back().Para;
}

void TRtfReader::OpenGroup()
{
    FlushBytes();
    FPendingSkip = 0;
    if (FOverflow > 0 || static_cast<int>(FStack.size()) >= MaxGroupDepth) {
        ++FOverflow;
        return;
    }
    // Text outside every group is no part of the document; the first group starts from the defaults.
    FStack.push_back(FStack.empty() ? TState() : FStack.back());
}

void TRtfReader::CloseGroup()
{
    FlushBytes();
    FPendingSkip = 0;
    if (FOverflow > 0) {
        --FOverflow;
        return;
    }
    if (FStack.empty()) return; // a brace too many
    if (FStack.back().Destination == dsFontTable) FinishFontEntry();
    if (FStack.size() == 1) FLastPara = FStack.back().Para;
    FStack.pop_back();
}

void TRtfReader::ControlSequence()
{
    if (FPos >= FSize) return;
    const char c = FData.at(FPos);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
        ControlWord();
    } else {
        ++FPos;
        ControlSymbol(c);
    }
}

void TRtfReader::ControlWord()
{
    QByteArray name;
    while (FPos < FSize) {
        const char c = FData.at(FPos);
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) break;
        if (name.size() <= MaxWordLength) name.append(c);
        ++FPos;
    }
    bool hasParameter = false;
    bool negative = false;
    if (FPos + 1 < FSize && FData.at(FPos) == '-' && FData.at(FPos + 1) >= '0' && FData.at(FPos + 1) <= '9') {
        negative = true;
        ++FPos;
    }
    int64_t value = 0;
    int digits = 0;
    while (FPos < FSize && FData.at(FPos) >= '0' && FData.at(FPos) <= '9') {
        if (digits < MaxParameterDigits) value = value * 10 + (FData.at(FPos) - '0');
        ++digits;
        ++FPos;
    }
    if (digits > 0) hasParameter = true;
    if (FPos < FSize && FData.at(FPos) == ' ') ++FPos;
    const int parameter = ClampInt(negative ? -value : value, INT_MIN, INT_MAX);
    const TWord word = name.size() > MaxWordLength ? wdNone : Words().value(name, wdNone);

    if (word == wdBin) {
        // Raw bytes that may hold braces and backslashes of their own.
        if (hasParameter && parameter > 0) FPos += std::min<qsizetype>(parameter, FSize - FPos);
        if (FPendingSkip > 0) --FPendingSkip;
        return;
    }
    FlushBytes();
    if (FPendingSkip > 0) {
        // A control word in a fallback counts as one of its characters.
        --FPendingSkip;
        return;
    }
    Word(word, hasParameter, parameter);
}

void TRtfReader::ControlSymbol(char Symbol)
{
    switch (Symbol) {
    case '\'': {
        int value = 0;
        int digits = 0;
        while (digits < 2 && FPos < FSize) {
            const char c = FData.at(FPos);
            int v;
            if (c >= '0' && c <= '9') v = c - '0';
            else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
            else break;
            value = value * 16 + v;
            ++digits;
            ++FPos;
        }
        if (digits > 0) TextByte(static_cast<uint8_t>(value));
        return;
    }
    case '\\':
    case '{':
    case '}': TextByte(static_cast<uint8_t>(Symbol)); return;
    case '\r':
    case '\n':
        FlushBytes();
        if (FPendingSkip > 0) --FPendingSkip;
        else Word(wdPar, false, 0);
        return;
    // An escaped space is a space: hand-written documents use it after a control word.
    case ' ': TextByte(' '); return;
    case '~': TextChar(QString(QChar(0x00A0))); return;
    case '-': TextChar(QString(QChar(0x00AD))); return;
    case '_': TextChar(QString(QChar(0x2011))); return;
    case '*':
        FlushBytes();
        if (FPendingSkip > 0) --FPendingSkip;
        else if (TState* state = State()) state->Destination = dsSkip;
        return;
    default:
        FlushBytes();
        if (FPendingSkip > 0) --FPendingSkip;
        return;
    }
}

void TRtfReader::Word(TWord Word, bool HasParameter, int Parameter)
{
    TState* state = State();
    if (!state || state->Destination == dsSkip || Word == wdNone) return;
    const bool on = !HasParameter || Parameter != 0;
    TCharProps& chars = state->Char;
    TParaProps& para = state->Para;
    switch (Word) {
    case wdSkipDestination: state->Destination = dsSkip; return;
    case wdFontTable: state->Destination = dsFontTable; return;
    case wdColorTable:
        state->Destination = dsColorTable;
        FRed = FGreen = FBlue = -1;
        return;
    case wdAnsiCodePage:
        if (HasParameter && Parameter > 0 && IsValidCodePage(static_cast<uint32_t>(Parameter)))
            FAnsiCodePage = static_cast<uint32_t>(Parameter);
        return;
    case wdPc: if (!FAnsiCodePage) FAnsiCodePage = 437; return;
    case wdPca: if (!FAnsiCodePage) FAnsiCodePage = 850; return;
    case wdDefaultFont:
        FDefaultFont = Parameter;
        chars.Font = Parameter;
        return;
    case wdUnicodeSkip: state->UnicodeSkip = std::max(0, Parameter); return;
    case wdUnicode: {
        int64_t code = Parameter;
        if (code < 0) code += 65536;
        if (code < 0 || code > 0x10FFFF) code = 0xFFFD;
        if (code > 0) {
            const char32_t ucs4 = static_cast<char32_t>(code);
            TextChar(code <= 0xFFFF ? QString(QChar(static_cast<char16_t>(code))) : QString::fromUcs4(&ucs4, 1));
        }
        FPendingSkip = state->UnicodeSkip;
        return;
    }
    default: break;
    }

    if (state->Destination == dsFontTable) {
        if (Word == wdFont) {
            FinishFontEntry();
            FFontEntry = Parameter;
            FFonts[FFontEntry] = TFont();
        } else if (Word == wdCharset) {
            FFonts[FFontEntry].Charset = Parameter;
        }
        return;
    }
    if (state->Destination == dsColorTable) {
        const int component = ClampInt(Parameter, 0, 255);
        if (Word == wdRed) FRed = component;
        else if (Word == wdGreen) FGreen = component;
        else if (Word == wdBlue) FBlue = component;
        return;
    }

    switch (Word) {
    case wdPar:
        FParagraphs.back().Props = para;
        FParagraphs.emplace_back();
        return;
    case wdLine: TextChar(QString(QChar::LineSeparator)); return;
    case wdTab: TextChar(QStringLiteral("\t")); return;
    case wdEmDash: TextChar(QString(QChar(0x2014))); return;
    case wdEnDash: TextChar(QString(QChar(0x2013))); return;
    case wdBullet: TextChar(QString(QChar(0x2022))); return;
    case wdLQuote: TextChar(QString(QChar(0x2018))); return;
    case wdRQuote: TextChar(QString(QChar(0x2019))); return;
    case wdLDblQuote: TextChar(QString(QChar(0x201C))); return;
    case wdRDblQuote: TextChar(QString(QChar(0x201D))); return;
    case wdEmSpace: TextChar(QString(QChar(0x2003))); return;
    case wdEnSpace: TextChar(QString(QChar(0x2002))); return;
    case wdBold: chars.Bold = on; return;
    case wdItalic: chars.Italic = on; return;
    case wdUnderline: chars.Underline = on; return;
    case wdUnderlineNone: chars.Underline = false; return;
    case wdStrike: chars.Strike = on; return;
    case wdPlain:
        chars = TCharProps();
        chars.Font = FDefaultFont;
        return;
    case wdFontSize: chars.FontSize = HasParameter && Parameter > 0 ? std::min(Parameter, MaxFontSize) : DefaultFontSize; return;
    case wdFont: chars.Font = Parameter; return;
    case wdForeground: chars.Foreground = Parameter; return;
    case wdBackground: chars.Background = Parameter; return;
    case wdPard: para = TParaProps(); return;
    case wdLeft: para.Alignment = Qt::AlignLeft; return;
    case wdCenter: para.Alignment = Qt::AlignHCenter; return;
    case wdRight: para.Alignment = Qt::AlignRight; return;
    case wdJustify: para.Alignment = Qt::AlignJustify; return;
    case wdLeftIndent: para.LeftIndent = ClampInt(Parameter, 0, MaxIndentTwips); return;
    case wdRightIndent: para.RightIndent = ClampInt(Parameter, 0, MaxIndentTwips); return;
    case wdFirstIndent: para.FirstIndent = ClampInt(Parameter, -MaxIndentTwips, MaxIndentTwips); return;
    default: return;
    }
}

void TRtfReader::TextByte(uint8_t Value)
{
    if (FPendingSkip > 0) {
        --FPendingSkip;
        return;
    }
    TState* state = State();
    if (!state) return;
    switch (state->Destination) {
    case dsColorTable:
        if (Value == ';') {
            FColors.push_back(FRed < 0 && FGreen < 0 && FBlue < 0
                                  ? QColor()
                                  : QColor(std::max(FRed, 0), std::max(FGreen, 0), std::max(FBlue, 0)));
            FRed = FGreen = FBlue = -1;
        }
        return;
    case dsFontTable:
        if (Value == ';') {
            FinishFontEntry();
            return;
        }
        break;
    case dsText: break;
    case dsSkip: return;
    }
    if (Value == 0) return;
    if (Value < 0x20 && Value != '\t') return;
    FBytes.append(static_cast<char>(Value));
    FBytesDestination = state->Destination;
}

void TRtfReader::TextChar(const QString& Text)
{
    FlushBytes();
    if (FPendingSkip > 0) {
        --FPendingSkip;
        return;
    }
    const TState* state = State();
    if (!state) return;
    if (state->Destination == dsText) AppendText(Text);
    else if (state->Destination == dsFontTable) FFontName += Text;
}

uint32_t TRtfReader::TextCodePage() const
{
    if (!FStack.empty() && FBytesDestination == dsText) {
        const auto font = FFonts.find(FStack.back().Char.Font);
        if (font != FFonts.end()) {
            const uint32_t codePage = CharsetCodePage(font->second.Charset);
            if (codePage && IsValidCodePage(codePage)) return codePage;
        }
    }
    return FAnsiCodePage ? FAnsiCodePage : FallbackCodePage;
}

void TRtfReader::FlushBytes()
{
    if (FBytes.isEmpty()) return;
    const QString text = CodePageToUnicode(FBytes, TextCodePage());
    FBytes.clear();
    if (FBytesDestination == dsText) AppendText(text);
    else FFontName += text;
}

void TRtfReader::AppendText(const QString& Text)
{
    if (Text.isEmpty() || FStack.empty()) return;
    const TCharProps& props = FStack.back().Char;
    std::vector<TRun>& runs = FParagraphs.back().Runs;
    if (runs.empty() || !(runs.back().Props == props)) runs.push_back({props, QString()});
    runs.back().Text += Text;
}

void TRtfReader::FinishFontEntry()
{
    FlushBytes();
    const QString name = FFontName.trimmed();
    FFontName.clear();
    if (!name.isEmpty()) FFonts[FFontEntry].Name = name;
}

QTextCharFormat TRtfReader::CharFormat(const TCharProps& Props) const
{
    QTextCharFormat format;
    format.setFontWeight(Props.Bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(Props.Italic);
    format.setFontUnderline(Props.Underline);
    format.setFontStrikeOut(Props.Strike);
    format.setFontPointSize(Props.FontSize / 2.0);
    const auto font = FFonts.find(Props.Font);
    if (font != FFonts.end() && !font->second.Name.isEmpty()) format.setFontFamilies({font->second.Name});
    const auto color = [this](int Index) {
        return Index > 0 && static_cast<size_t>(Index) < FColors.size() ? FColors[static_cast<size_t>(Index)] : QColor();
    };
    if (const QColor c = color(Props.Foreground); c.isValid()) format.setForeground(c);
    if (const QColor c = color(Props.Background); c.isValid()) format.setBackground(c);
    return format;
}

QTextBlockFormat BlockFormat(const TParaProps& Props)
{
    QTextBlockFormat format;
    format.setAlignment(Props.Alignment);
    format.setLeftMargin(Props.LeftIndent / TwipsPerPixel);
    format.setRightMargin(Props.RightIndent / TwipsPerPixel);
    format.setTextIndent(Props.FirstIndent / TwipsPerPixel);
    return format;
}

void TRtfReader::Build(QTextDocument& Document) const
{
    Document.clear();
    const bool undo = Document.isUndoRedoEnabled();
    Document.setUndoRedoEnabled(false);
    QTextCursor cursor(&Document);
    // One edit block: outside of one every insertion lays out its paragraph again.
    cursor.beginEditBlock();
    // The mark of the last paragraph is the document's own end.
    size_t count = FParagraphs.size();
    if (count > 1 && FParagraphs.back().Runs.empty()) --count;
    for (size_t i = 0; i < count; ++i) {
        const TParagraph& paragraph = FParagraphs[i];
        if (i == 0) cursor.setBlockFormat(BlockFormat(paragraph.Props));
        else cursor.insertBlock(BlockFormat(paragraph.Props));
        for (const TRun& run : paragraph.Runs) cursor.insertText(run.Text, CharFormat(run.Props));
    }
    cursor.endEditBlock();
    Document.setUndoRedoEnabled(undo);
}

} // namespace

void ReadRtf(const QByteArray& Rtf, QTextDocument& Document)
{
    TRtfReader reader(Rtf);
    reader.Read();
    reader.Build(Document);
}
