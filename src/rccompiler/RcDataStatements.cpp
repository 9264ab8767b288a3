#include "RcStatements.h"

#include "../platform/BinaryReader.h"

namespace rc {

namespace {

// Reads the file a statement names; records it in the file map.
QByteArray FileData(TParser& Parser, TResourceStatement& Statement, const TToken& At, const QString& Written)
{
    const QByteArray bytes = Parser.ReadResourceFile(Written, At);
    Parser.AddFileRecord(Statement, Written);
    return bytes;
}

[[noreturn]] void BadFile(TParser& Parser, const TToken& At, const QString& Written, const QString& Why)
{
    Parser.Fatal(At, rcErrBadFile, QStringLiteral("%1: %2").arg(Written, Why));
}

} // namespace

// The items of a BEGIN..END data block: numbers are WORDs (L-suffixed DWORDs), narrow strings bytes in
// their code page, L"" strings UTF-16; nothing is added after a string.
QByteArray DataBlock(TParser& Parser)
{
    Parser.ExpectBegin();
    TDataBuilder data;
    while (!Parser.AtBlockEnd()) {
        if (Parser.AtString()) {
            const TStringLiteral literal = Parser.String();
            if (literal.Wide) data.Utf16(literal.Wide16);
            else data.Bytes(literal.Bytes);
        } else {
            const TExpression value = Parser.Expression();
            if (value.IsLong) data.DWord(value.Value);
            else data.Word(value.Word());
        }
        Parser.SkipComma();
    }
    Parser.ExpectEnd();
    return data.Data();
}

void CompileData(TParser& Parser, TResourceStatement& Statement)
{
    Parser.CommonOptions(Statement);
    if (Parser.IsBegin()) {
        Parser.Emit(Statement, DataBlock(Parser));
        return;
    }
    const TToken& at = Parser.Peek();
    // A DLGINCLUDE names the dialogs' header file: the name itself is the data.
    if (Statement.Type.Is(17) && Parser.AtString()) {
        QByteArray data = Parser.String().Bytes;
        data.append('\0');
        Parser.Emit(Statement, data);
        return;
    }
    const QString written = Parser.FileName();
    Parser.Emit(Statement, FileData(Parser, Statement, at, written));
}

void CompileTextInclude(TParser& Parser, TResourceStatement& Statement) { CompileData(Parser, Statement); }

void CompileBitmap(TParser& Parser, TResourceStatement& Statement)
{
    Parser.CommonOptions(Statement);
    const TToken& at = Parser.Peek();
    const QString written = Parser.FileName();
    const QByteArray bytes = FileData(Parser, Statement, at, written);
    // The resource is the bitmap without its 14-byte file header.
    if (bytes.size() < 14 + 12 || !bytes.startsWith("BM")) BadFile(Parser, at, written, QStringLiteral("not a bitmap file"));
    Parser.Emit(Statement, bytes.mid(14));
}

namespace {

// Splits an .ico or .cur file into images plus the group directory.
void CompileImageGroup(TParser& Parser, TResourceStatement& Statement, bool Cursor)
{
    Parser.CommonOptions(Statement);
    const TToken& at = Parser.Peek();
    const QString written = Parser.FileName();
    const QByteArray bytes = Parser.ReadResourceFile(written, at);
    const uint16_t fileType = Cursor ? 2 : 1;
    TBinaryReader file(bytes);
    struct TImage {
        TResource Resource;
        uint8_t Width, Height, Colors;
        uint16_t Planes, BitCount;
        uint32_t Size;
    };
    std::vector<TImage> images;
    try {
        if (file.U16(0) != 0 || file.U16(2) != fileType)
            BadFile(Parser, at, written, Cursor ? QStringLiteral("not a cursor file") : QStringLiteral("not an icon file"));
        const uint16_t count = file.U16(4);
        // A file without images still makes its (empty) group: modules hold such groups.
        // The image flags follow the statement's keywords; the group has its own.
        const uint16_t imageFlags = Statement.MemoryFlags;
        for (uint16_t i = 0; i < count; ++i) {
            const int64_t entry = 6 + int64_t(i) * 16;
            TImage image;
            image.Width = file.U8(entry, "directory entry");
            image.Height = file.U8(entry + 1, "directory entry");
            image.Colors = file.U8(entry + 2, "directory entry");
            const uint16_t planesOrX = file.U16(entry + 4, "directory entry");
            const uint16_t bitsOrY = file.U16(entry + 6, "directory entry");
            image.Size = file.U32(entry + 8, "directory entry");
            const uint32_t offset = file.U32(entry + 12, "directory entry");
            QByteArray data = file.Bytes(offset, image.Size, "image");
            // Planes and bit count come from a bitmap image's own header; a PNG image keeps the
            // directory's (a cursor's directory holds its hot spot there instead).
            TBinaryReader imageReader(data);
            if (imageReader.TryU32(0) == 40u && imageReader.Has(0, 16)) {
                image.Planes = imageReader.U16(12);
                image.BitCount = imageReader.U16(14);
            } else {
                image.Planes = Cursor ? 1 : planesOrX;
                image.BitCount = Cursor ? 0 : bitsOrY;
            }
            if (Cursor) {
                TDataBuilder hotSpot;
                hotSpot.Word(planesOrX);
                hotSpot.Word(bitsOrY);
                data.prepend(hotSpot.Data());
                image.Size += 4;
            }
            image.Resource = Statement.Resource(data);
            image.Resource.Type = TNameOrdinal::FromOrdinal(Cursor ? 1 : 3);
            image.Resource.Name = TNameOrdinal::FromOrdinal(Parser.NextImageOrdinal());
            image.Resource.MemoryFlags = imageFlags;
            images.push_back(std::move(image));
        }
    } catch (const EBinaryReadError&) {
        BadFile(Parser, at, written, QStringLiteral("the file is damaged"));
    }
    TDataBuilder group;
    group.Word(0);
    group.Word(fileType);
    group.Word(static_cast<uint16_t>(images.size()));
    for (const TImage& image : images) {
        if (Cursor) {
            group.Word(image.Width);
            group.Word(static_cast<uint16_t>(image.Height * 2));
        } else {
            group.Byte(image.Width);
            group.Byte(image.Height);
            group.Byte(image.Colors);
            group.Byte(0);
        }
        group.Word(image.Planes);
        group.Word(image.BitCount);
        group.DWord(image.Size);
        group.Word(image.Resource.Name.Ordinal);
        Parser.Emit(image.Resource, at);
    }
    // The group is discardable and moveable; preloaded with its images.
    Statement.MemoryFlags = (Statement.MemoryFlags & rcPreload) ? (rcMoveable | rcPreload | rcDiscardable)
                                                                : (rcMoveable | rcPure | rcDiscardable);
    Parser.AddFileRecord(Statement, written);
    Parser.Emit(Statement, group.Data());
}

} // namespace

void CompileIcon(TParser& Parser, TResourceStatement& Statement) { CompileImageGroup(Parser, Statement, false); }
void CompileCursor(TParser& Parser, TResourceStatement& Statement) { CompileImageGroup(Parser, Statement, true); }

void CompileFont(TParser& Parser, TResourceStatement& Statement)
{
    Parser.CommonOptions(Statement);
    const TToken& at = Parser.Peek();
    if (!Statement.Name.IsOrdinal) Parser.Fatal(at, rcErrValue, QStringLiteral("a FONT needs a number as its name"));
    const QString written = Parser.FileName();
    Parser.Emit(Statement, FileData(Parser, Statement, at, written));
    Parser.Result().Fonts.push_back(Parser.Result().Resources.size() - 1);
}

namespace {

// The part of a font file's header that the font directory repeats.
const int FontDirEntrySize = 113;
const int FontDeviceOffset = 101;
const int FontFaceOffset = 105;

QByteArray FontZ(const TBinaryReader& Font, uint32_t Offset)
{
    if (Offset == 0) return QByteArray();
    return Font.TryAnsiZ(Offset).value_or(QByteArray());
}

} // namespace

void AddFontDirectory(TParser& Parser)
{
    std::vector<const TResource*> fonts;
    for (size_t index : Parser.Result().Fonts) fonts.push_back(&Parser.Result().Resources[index]);
    if (fonts.empty()) return;
    TDataBuilder dir;
    dir.Word(static_cast<uint16_t>(fonts.size()));
    uint16_t language = fonts.front()->Language;
    for (const TResource* font : fonts) {
        dir.Word(font->Name.Ordinal);
        QByteArray header = font->Data.left(FontDirEntrySize);
        header.append(QByteArray(FontDirEntrySize - header.size(), '\0'));
        dir.Bytes(header);
        const TBinaryReader reader(font->Data);
        dir.Bytes(FontZ(reader, reader.TryU32(FontDeviceOffset).value_or(0)));
        dir.Byte(0);
        dir.Bytes(FontZ(reader, reader.TryU32(FontFaceOffset).value_or(0)));
        dir.Byte(0);
    }
    TResource resource;
    resource.Type = TNameOrdinal::FromOrdinal(7);
    resource.Name = TNameOrdinal::FromName(QStringLiteral("FONTDIR"));
    resource.Language = language;
    resource.MemoryFlags = rcMoveable | rcPure | rcDiscardable;
    resource.Data = dir.Data();
    TToken at;
    Parser.Emit(resource, at);
}

void CompileToolbar(TParser& Parser, TResourceStatement& Statement)
{
    const uint16_t width = Parser.WordExpression();
    Parser.SkipComma();
    const uint16_t height = Parser.WordExpression();
    Parser.CommonOptions(Statement);
    Parser.ExpectBegin();
    std::vector<uint16_t> buttons;
    while (!Parser.AtBlockEnd()) {
        if (Parser.AcceptKeyword(u"SEPARATOR")) {
            buttons.push_back(0);
        } else if (Parser.AcceptKeyword(u"BUTTON")) {
            const TExpression id = Parser.Expression();
            Statement.AddChild(id);
            buttons.push_back(id.Word());
        } else {
            Parser.Unexpected(QStringLiteral("BUTTON or SEPARATOR"));
        }
        Parser.SkipComma();
    }
    Parser.ExpectEnd();
    TDataBuilder data;
    data.Word(1);
    data.Word(width);
    data.Word(height);
    data.Word(static_cast<uint16_t>(buttons.size()));
    for (uint16_t id : buttons) data.Word(id);
    Parser.Emit(Statement, data.Data());
}

} // namespace rc
