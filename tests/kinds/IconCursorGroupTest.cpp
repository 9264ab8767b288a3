#include "model/LogCapture.h"
#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "platform/ByteBuilder.h"
#include "platform/PeerTools.h"
#include "platform/Streams.h"
#include "platform/WineModules.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }


QString ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

// A DIB image of an icon: header, palette, colour bits made from Seed, an opaque mask.
QByteArray IconDIB(int Size, int Bits, int Seed)
{
    const int stride = (Size * Bits + 31) / 32 * 4;
    const int maskStride = (Size + 31) / 32 * 4;
    QByteArray d;
    Add32(d, 40);
    Add32(d, uint32_t(Size));
    Add32(d, uint32_t(2 * Size));
    Add16(d, 1);
    Add16(d, uint32_t(Bits));
    Add32(d, 0);
    Add32(d, uint32_t(stride * Size));
    d += QByteArray(16, '\0');
    if (Bits <= 8)
        for (int i = 0; i < (1 << Bits); ++i) {
            d.append(char(0xF0 - i)).append(char(0x80 + i)).append(char(0x10 + i)).append('\0');
        }
    for (int i = 0; i < stride * Size; ++i) d.append(char((Seed * 7 + i * 13) & 0xFF));
    d += QByteArray(maskStride * Size, '\0');
    return d;
}

uint8_t ColorCount(int Bits) { return Bits <= 4 ? uint8_t(1 << Bits) : 0; }

// One 14-byte group entry as compilers write them: planes 1 and the bit count.
QByteArray GroupEntry(int Size, int Bits, uint32_t Bytes, uint16_t Ordinal)
{
    QByteArray d;
    d.append(char(Size & 0xFF)).append(char(Size & 0xFF)).append(char(ColorCount(Bits))).append('\0');
    Add16(d, 1);
    Add16(d, uint32_t(Bits));
    Add32(d, Bytes);
    Add16(d, Ordinal);
    return d;
}

QByteArray GroupData(int Type, const QList<QByteArray>& Entries)
{
    QByteArray d;
    Add16(d, 0);
    Add16(d, uint32_t(Type));
    Add16(d, uint32_t(Entries.size()));
    for (const QByteArray& e : Entries) d += e;
    return d;
}

struct TFileImage {
    int Size;
    int Bits;
    QByteArray Data; // the image without a cursor's hot spot
    uint16_t HotspotX = 0;
    uint16_t HotspotY = 0;
};

// An .ico (Type 1) or .cur (Type 2) file as GetFileDirectory describes its images.
QByteArray IconFile(int Type, const QList<TFileImage>& Images)
{
    QByteArray d;
    Add16(d, 0);
    Add16(d, uint32_t(Type));
    Add16(d, uint32_t(Images.size()));
    uint32_t offset = uint32_t(6 + 16 * Images.size());
    for (const TFileImage& image : Images) {
        d.append(char(image.Size & 0xFF)).append(char(image.Size & 0xFF)).append(char(ColorCount(image.Bits))).append('\0');
        Add16(d, Type == 1 ? 1 : image.HotspotX);
        Add16(d, Type == 1 ? uint32_t(image.Bits) : image.HotspotY);
        Add32(d, uint32_t(image.Data.size()));
        Add32(d, offset);
        offset += uint32_t(image.Data.size());
    }
    for (const TFileImage& image : Images) d += image.Data;
    return d;
}

// The ordinals a group resource names, in order.
QList<uint16_t> Ordinals(const QByteArray& GroupResource)
{
    QList<uint16_t> result;
    for (int at = 6 + 12; at + 2 <= GroupResource.size(); at += 14)
        result << uint16_t(uint8_t(GroupResource[at]) | (uint8_t(GroupResource[at + 1]) << 8));
    return result;
}

QByteArray Saved(TCustomResourceItem* Item)
{
    TMemoryStream s;
    Item->SaveToStream(s);
    return s.ToByteArray();
}

QByteArray SavedFile(TCustomResourceItem* Item)
{
    TMemoryStream s;
    Item->SaveToFileStream(s);
    return s.ToByteArray();
}

void Load(TCustomResourceItem* Item, const QByteArray& Data)
{
    TBytesStream s(Data);
    Item->LoadFromStream(s, s.Size());
}

void LoadFile(TCustomResourceItem* Item, const QByteArray& Data)
{
    TBytesStream s(Data);
    Item->LoadFromFileStream(s);
}

QList<uint16_t> ChildOrdinals(TCustomResourceItem* Group)
{
    QList<uint16_t> result;
    if (Group->HasItems())
        for (TCustomResourceItem* child : *Group->Items()) result << child->NameInteger();
    return result;
}

QByteArray ReadAll(const QString& File)
{
    QFile f(File);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A module filled the way a reader fills it: items added while loading, then AfterLoad.
class TLoadedModule {
public:
    TLoadedModule() { Module.BeforeLoad(); }

    template <class T>
    T* Add(uint16_t Name, const QByteArray& Data, TLanguageID Language = 0)
    {
        auto* item = new T(Ord(Name));
        item->SetLanguage(Language);
        item->SetModule(&Module);
        Load(item, Data);
        return item;
    }
    TIconResourceItem* Icon(uint16_t Name, int Size, int Bits, TLanguageID Language = 0)
    {
        auto* item = Add<TIconResourceItem>(Name, IconDIB(Size, Bits, Name), Language);
        Entries[{Name, Language}] = GroupEntry(Size, Bits, uint32_t(IconDIB(Size, Bits, Name).size()), Name);
        return item;
    }
    // The entry a compiler writes for the image; one made up for an image that is not there.
    QByteArray Entry(uint16_t Name, TLanguageID Language = 0) const
    {
        const auto it = Entries.find({Name, Language});
        return it != Entries.end() ? it->second : GroupEntry(48, 8, 1234, Name);
    }
    TIconGroupResourceItem* IconGroup(uint16_t Name, const QList<uint16_t>& Ordinals, TLanguageID Language = 0)
    {
        QList<QByteArray> entries;
        for (uint16_t ordinal : Ordinals) entries << Entry(ordinal, Language);
        return Add<TIconGroupResourceItem>(Name, GroupData(1, entries), Language);
    }
    void Finish() { Module.AfterLoad(); }

    TResourceModule Module;
    std::map<std::pair<uint16_t, TLanguageID>, QByteArray> Entries;
};

class IconCursorGroups : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemImage_Initialize();
        koIconEncoder_Initialize();
        koResourceItemIconCursor_Initialize();
        koResourceModuleRes_Initialize();
    }
    void TearDown() override
    {
        koResourceModuleRes_Finalize();
        koResourceItemIconCursor_Finalize();
        koIconEncoder_Finalize();
        koResourceItemImage_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
};
} // namespace

// --- kinds and files --------------------------------------------------------------------------------

TEST_F(IconCursorGroups, KindsAnswerForTheirTypesAndFiles)
{
    const QByteArray icoHead = QByteArray::fromHex("000001000300"), curHead = QByteArray::fromHex("000002000100");
    struct TCase {
        const char* name;
        QByteArray data;
        bool icon, cursor;
    } cases[] = {
        {"a.ico", {}, true, false},       {"A.ICO", {}, true, false},         {"a.cur", {}, false, true},
        {"a.bin", icoHead, true, false},  {"a.bin", curHead, false, true},    {"a.bin", QByteArray::fromHex("000003000100"), false, false},
        {"a.bin", QByteArray::fromHex("000001000001"), false, false}, // 256 images: not an icon file
        {"a.png", {}, false, false},
    };
    for (const TCase& c : cases) {
        TBytesStream data(c.data);
        EXPECT_EQ(TIconGroupResourceItem::HandlesFile(c.name, &data), c.icon) << c.name << " " << c.data.toHex().data();
        EXPECT_EQ(TCursorGroupResourceItem::HandlesFile(c.name, &data), c.cursor) << c.name << " " << c.data.toHex().data();
        EXPECT_EQ(data.Position(), 0);
    }
    EXPECT_TRUE(TIconGroupResourceItem::Handles(Ord(RT_GROUP_ICON), Ord(1), nullptr));
    EXPECT_FALSE(TIconGroupResourceItem::Handles(Ord(RT_ICON), Ord(1), nullptr));
    EXPECT_TRUE(TCursorGroupResourceItem::Handles(Ord(RT_GROUP_CURSOR), Ord(1), nullptr));
    EXPECT_FALSE(TCursorGroupResourceItem::Handles(Ord(RT_GROUP_ICON), Ord(1), nullptr));

    const auto previous = SetResourceGlyphLoader([](const QString& res, const QString&) { return int(qHash(res) & 0xFFFF); });
    for (TResourceItemGlyph kind : {rgType, rgItem}) {
        EXPECT_EQ(TIconGroupResourceItem::GetGlyph(kind), TIconResourceItem::GetGlyph(kind));
        EXPECT_EQ(TCursorGroupResourceItem::GetGlyph(kind), TCursorResourceItem::GetGlyph(kind));
    }
    EXPECT_NE(TIconGroupResourceItem::GetGlyph(rgItem), TCursorGroupResourceItem::GetGlyph(rgItem));
    SetResourceGlyphLoader(previous);

    TIconGroupResourceItem icons;
    std::unique_ptr<TCustomResourceItem> icon(icons.CreateChild());
    EXPECT_TRUE(qobject_cast<TIconResourceItem*>(icon.get()));
    EXPECT_EQ(icon->Name(), Ord(0));
    TCursorGroupResourceItem cursors;
    std::unique_ptr<TCustomResourceItem> cursor(cursors.CreateChild());
    EXPECT_TRUE(qobject_cast<TCursorResourceItem*>(cursor.get()));
}

// --- binding ----------------------------------------------------------------------------------------

// A missing image is reported once and its entry is written back in its place.
TEST_F(IconCursorGroups, MissingImageIsReportedAndItsEntryKept)
{
    const QList<QList<uint16_t>> cases = {{1, 2, 5}, {5, 1, 2}, {1, 5, 2}};
    for (const QList<uint16_t>& ordinals : cases) {
        TLoadedModule load;
        load.Icon(1, 16, 4);
        load.Icon(2, 32, 8);
        auto* group = load.IconGroup(1, ordinals);
        TLogCapture log;
        load.Finish();
        EXPECT_EQ(ChildOrdinals(group), (QList<uint16_t>{1, 2}));
        EXPECT_EQ(log.Messages(), QStringList{QStringLiteral("Icon/Cursor #1 child not found: 5")});
        ASSERT_EQ(log.Items().size(), 1);
        EXPECT_EQ(log.Items()[0], group);
        ASSERT_EQ(group->KeptEntries().size(), 1u);
        EXPECT_EQ(group->Size(), 6 + 3 * 14);
        const QByteArray saved = Saved(group);
        EXPECT_EQ(Ordinals(saved), ordinals);
        QList<QByteArray> expected;
        for (uint16_t ordinal : ordinals) expected << load.Entry(ordinal);
        EXPECT_EQ(saved.toHex(), GroupData(1, expected).toHex());
    }
}

// The first group to name an image takes it; the other keeps the entry and writes the image's
// current one, so a renamed image is still named right.
TEST_F(IconCursorGroups, ImageNamedByTwoGroupsStaysWithTheFirst)
{
    TLoadedModule load;
    load.Icon(1, 16, 4);
    auto* shared = load.Icon(2, 32, 8);
    load.Icon(3, 48, 32);
    auto* first = load.IconGroup(1, {1, 2});
    auto* second = load.IconGroup(2, {2, 3});
    TLogCapture log;
    load.Finish();
    EXPECT_EQ(ChildOrdinals(first), (QList<uint16_t>{1, 2}));
    EXPECT_EQ(ChildOrdinals(second), (QList<uint16_t>{3}));
    EXPECT_EQ(log.Messages(), QStringList{QStringLiteral("Icon/Cursor #2 child not found: 2")});
    EXPECT_EQ(Saved(second), GroupData(1, {load.Entry(2), load.Entry(3)}));
    EXPECT_EQ(second->Size(), 6 + 2 * 14);

    shared->LockUpdate();
    shared->SetNameInteger(9);
    shared->UnlockUpdate();
    EXPECT_EQ(Ordinals(Saved(first)), (QList<uint16_t>{1, 9}));
    EXPECT_EQ(Ordinals(Saved(second)), (QList<uint16_t>{9, 3}));
}

// Both language variants of an image are children; the directory still has one entry per ordinal,
// describing the variant in the group's language.
// A module with one group per language keeps every group: saved to a RES file and read again, both
// groups name the images they named.
TEST_F(IconCursorGroups, GroupsOfTwoLanguagesBothSurviveASave)
{
    TLoadedModule load;
    load.Icon(1, 16, 4, 0x0409);
    load.Icon(2, 32, 8, 0x0407);
    auto* english = load.IconGroup(1, {1}, 0x0409);
    auto* german = load.IconGroup(1, {2}, 0x0407);
    TLogCapture log;
    load.Finish();
    EXPECT_TRUE(log.Messages().isEmpty()) << log.Messages().join('\n').toStdString();
    EXPECT_EQ(ChildOrdinals(english), (QList<uint16_t>{1}));
    EXPECT_EQ(ChildOrdinals(german), (QList<uint16_t>{2}));

    QTemporaryDir dir;
    const QString file = dir.filePath("two.res");
    load.Module.SaveToFile(file);
    TBytesStream res(ReadAll(file));
    auto back = TResourceModuleReaderRes().LoadFromStream(res);
    back->AfterLoad();
    int groups = 0;
    for (TCustomResourceItem* item : *back->Items())
        if (auto* group = qobject_cast<TIconGroupResourceItem*>(item)) {
            ++groups;
            EXPECT_EQ(group->Items()->Count(), 1) << group->Language();
        }
    EXPECT_EQ(groups, 2);
}

TEST_F(IconCursorGroups, LanguageVariantsShareOneEntry)
{
    for (TLanguageID groupLanguage : {TLanguageID(0x0409), TLanguageID(0x0407)}) {
        TLoadedModule load;
        load.Icon(1, 16, 4, 0x0409);
        load.Icon(1, 16, 8, 0x0407);
        load.Icon(2, 32, 4, 0x0409);
        auto* group = load.Add<TIconGroupResourceItem>(
            1, GroupData(1, {load.Entry(1, groupLanguage), load.Entry(2, 0x0409)}), groupLanguage);
        TLogCapture log;
        load.Finish();
        EXPECT_EQ(ChildOrdinals(group), (QList<uint16_t>{1, 1, 2}));
        EXPECT_TRUE(log.Messages().isEmpty()) << log.Messages().join('\n').toStdString();
        EXPECT_EQ(group->Size(), 6 + 2 * 14);
        EXPECT_EQ(Saved(group).toHex(), GroupData(1, {load.Entry(1, groupLanguage), load.Entry(2, 0x0409)}).toHex());
    }
}

// Data shorter than its entries reads as zero entries; errors leave the group as it was.
TEST_F(IconCursorGroups, GroupResourceErrors)
{
    TLoadedModule load;
    load.Icon(1, 16, 4);
    auto* group = load.IconGroup(1, {1});
    load.Finish();
    struct TCase {
        const char* name;
        QByteArray data;
        int64_t size;
        QString error;
    } cases[] = {
        {"short header", QByteArray::fromHex("00000100"), 4, "Premature end of data"},
        {"cursor type", GroupData(2, {load.Entry(1)}), -1, "Malformed resource item"},
        {"entries past the stream", GroupData(1, {load.Entry(1)}).left(12), 20, "Premature end of data"},
    };
    for (const TCase& c : cases) {
        TBytesStream s(c.data);
        EXPECT_EQ(ErrorOf([&] { group->LoadFromStream(s, c.size < 0 ? s.Size() : c.size); }), c.error) << c.name;
        EXPECT_EQ(ChildOrdinals(group), (QList<uint16_t>{1})) << c.name;
    }

    TIconGroupResourceItem loose(Ord(7));
    const QByteArray shortData = GroupData(1, {load.Entry(1)}).left(10);
    Load(&loose, shortData);
    EXPECT_EQ(Saved(&loose), GroupData(1, {QByteArray(14, '\0')})) << "too short for its entries: zero entries";
}

// A group read outside a load (an edit of its data) binds at once; a group not bound yet writes what
// it read.
TEST_F(IconCursorGroups, GroupReadAfterTheLoadBindsAtOnce)
{
    TLoadedModule load;
    load.Icon(1, 16, 4);
    load.Icon(2, 32, 4);
    auto* group = load.IconGroup(1, {1});
    load.Finish();
    Load(group, GroupData(1, {load.Entry(2), load.Entry(1)}));
    EXPECT_EQ(ChildOrdinals(group), (QList<uint16_t>{2, 1}));

    TIconGroupResourceItem loose(Ord(7));
    const QByteArray data = GroupData(1, {load.Entry(2), load.Entry(1)});
    Load(&loose, data);
    EXPECT_EQ(Saved(&loose), data);
    EXPECT_EQ(loose.Size(), data.size());
}

// --- files ------------------------------------------------------------------------------------------

// The images of an .ico file become new images of the module; saving writes them back as they were,
// offsets counted from where the file starts in the stream.
TEST_F(IconCursorGroups, IconFileLoadsAndSavesItsImages)
{
    TLoadedModule load;
    load.Icon(1, 16, 4);
    load.Icon(2, 16, 4);
    auto* group = load.IconGroup(1, {1, 2});
    load.Finish();
    const QList<TFileImage> images = {{32, 4, IconDIB(32, 4, 1)}, {16, 8, IconDIB(16, 8, 2)}, {48, 32, IconDIB(48, 32, 3)}};
    const QByteArray file = IconFile(1, images);
    TBytesStream in(QByteArray("junk!!!") + file);
    in.SetPosition(7);
    group->LoadFromFileStream(in);

    ASSERT_EQ(group->Items()->Count(), 3);
    QSet<uint16_t> ordinals;
    for (int i = 0; i < 3; ++i) {
        auto* image = qobject_cast<TIconResourceItem*>(group->Items()->Items(i));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->Module(), &load.Module);
        EXPECT_EQ(image->Language(), 0);
        EXPECT_EQ(image->Width(), images[i].Size);
        EXPECT_EQ(image->ResourceData(), images[i].Data);
        ordinals << image->NameInteger();
    }
    EXPECT_EQ(ordinals.size(), 3);
    EXPECT_FALSE(ordinals.contains(1) || ordinals.contains(2)) << "the file's images replace the group's";
    int icons = 0;
    for (TCustomResourceItem* item : *load.Module.Items()) icons += item->ResourceType() == Ord(RT_ICON);
    EXPECT_EQ(icons, 3) << "the group's former images are gone";

    TMemoryStream out;
    out.WriteBytes("abcde");
    group->SaveToFileStream(out);
    EXPECT_EQ(out.Position(), out.Size());
    EXPECT_EQ(out.ToByteArray().mid(5).toHex(), file.toHex());
    EXPECT_EQ(Saved(group).size(), 6 + 3 * 14);
}

// The hot spot goes from the .cur entry into the image's prefix and back.
TEST_F(IconCursorGroups, CursorFileCarriesTheHotspot)
{
    TLoadedModule load;
    auto* group = load.Add<TCursorGroupResourceItem>(1, GroupData(2, {}));
    load.Finish();
    const QByteArray image = IconDIB(32, 1, 4);
    const QByteArray file = IconFile(2, {{32, 1, image, 5, 7}});
    LoadFile(group, file);
    ASSERT_EQ(group->Items()->Count(), 1);
    auto* cursor = qobject_cast<TCursorResourceItem*>(group->Items()->Items(0));
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->ResourceData().toHex(), QByteArray(QByteArray::fromHex("05000700") + image).toHex());
    QPoint hotspot;
    cursor->GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(5, 7));
    EXPECT_EQ(SavedFile(group).toHex(), file.toHex());
}

TEST_F(IconCursorGroups, SizeCountsFourChildren)
{
    TResourceModule module;
    auto* group = new TIconGroupResourceItem(Ord(1));
    group->SetModule(&module);
    QList<TFileImage> images;
    for (int i = 0; i < 4; ++i) images << TFileImage{16, 4, IconDIB(16, 4, i)};
    LoadFile(group, IconFile(1, images));
    EXPECT_EQ(group->Items()->Count(), 4);
    EXPECT_EQ(group->Size(), 62);
}

// A refused file leaves the group and the module as they were.
TEST_F(IconCursorGroups, FileErrorsChangeNothing)
{
    TLoadedModule load;
    load.Icon(1, 16, 4);
    auto* icons = load.IconGroup(1, {1});
    auto* cursors = load.Add<TCursorGroupResourceItem>(2, GroupData(2, {}));
    load.Finish();
    QByteArray pastTheEnd = IconFile(1, {{16, 4, IconDIB(16, 4, 1)}});
    pastTheEnd.chop(1);
    struct TCase {
        const char* name;
        TCustomResourceItem* group;
        QByteArray file;
        QString error;
    } cases[] = {
        {"cursor file as icon", icons, IconFile(2, {{16, 4, IconDIB(16, 4, 1)}}), "Invalid file format"},
        {"icon file as cursor", cursors, IconFile(1, {{16, 4, IconDIB(16, 4, 1)}}), "Invalid file format"},
        {"short header", icons, QByteArray::fromHex("00000100"), "Premature end of data"},
        {"short directory", icons, IconFile(1, {{16, 4, IconDIB(16, 4, 1)}}).left(12), "Premature end of data"},
        {"image past the end", icons, pastTheEnd, "Premature end of data"},
    };
    for (const TCase& c : cases) {
        const QList<uint16_t> before = ChildOrdinals(c.group);
        const int count = load.Module.Items()->Count();
        EXPECT_EQ(ErrorOf([&] { LoadFile(c.group, c.file); }), c.error) << c.name;
        EXPECT_EQ(ChildOrdinals(c.group), before) << c.name;
        EXPECT_EQ(load.Module.Items()->Count(), count) << c.name;
    }
}

// Assigning a group copies its images as new images of the destination's module.
TEST_F(IconCursorGroups, AssignCopiesTheImages)
{
    TLoadedModule from;
    from.Icon(1, 16, 4);
    from.Icon(2, 32, 32);
    auto* source = from.IconGroup(1, {1, 2});
    from.Finish();
    TLoadedModule to;
    auto* dest = to.IconGroup(5, {});
    to.Finish();
    dest->AssignFromItem(source);
    ASSERT_EQ(dest->Items()->Count(), 2);
    for (int i = 0; i < 2; ++i) {
        auto* copy = qobject_cast<TIconResourceItem*>(dest->Items()->Items(i));
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->Module(), &to.Module);
        EXPECT_EQ(copy->ResourceData(), qobject_cast<TIconResourceItem*>(source->Items()->Items(i))->ResourceData());
    }
    EXPECT_EQ(source->Items()->Count(), 2);
}

// --- peers and the wine corpus -----------------------------------------------------------------------

namespace {
// A picture of Size pixels with about Colors colours (asymmetric, so a red/blue swap shows); below 32
// bits a corner is transparent, at 32 bits the alpha varies.
QImage Picture(int Size, int Colors, bool Alpha)
{
    QImage image(Size, Size, QImage::Format_ARGB32);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            const int i = (x + y * Size) % Colors;
            const int alpha = Alpha ? (x * 255 / (Size - 1)) : (x < 3 && y < 3 ? 0 : 255);
            image.setPixel(x, y, qRgba(0x10 + (i * 37) % 200, 0x80 - i % 64, 0xF0 - (i * 11) % 128, alpha));
        }
    return image;
}

struct TIcotoolFiles {
    QString Icon, Cursor;
};

// An .ico of 1, 4, 8, 24 and 32-bit images and a raw PNG entry, and a .cur of a 1-bit and a 32-bit image,
// made by icotool; empty names when icotool fails.
TIcotoolFiles MakeIcotoolFiles(const QString& Icotool, const QDir& Dir)
{
    struct TPicture {
        const char* name;
        int size, colors, bits;
    } pictures[] = {{"p1", 16, 2, 1}, {"p4", 32, 16, 4}, {"p8", 32, 200, 8}, {"p24", 48, 1000, 24}, {"p32", 24, 1000, 32}};
    QStringList icon = {"-c", "-o", Dir.filePath("multi.ico")};
    for (const TPicture& p : pictures) {
        const QString file = Dir.filePath(QString::fromLatin1(p.name) + ".png");
        Picture(p.size, p.colors, p.bits == 32).save(file);
        icon << "-b" << QString::number(p.bits) << file;
    }
    const QString raw = Dir.filePath("raw.png");
    Picture(64, 1000, true).save(raw);
    icon << "-r" << raw;
    const QStringList cursor = {"-c", "--cursor", "-o", Dir.filePath("multi.cur"), "-X", "3", "-Y", "5", "-b", "1",
                                Dir.filePath("p1.png"), "-X", "11", "-Y", "2", "-b", "32", Dir.filePath("p32.png")};
    TIcotoolFiles files;
    if (RunPeerTool(Icotool, icon).Ok()) files.Icon = Dir.filePath("multi.ico");
    if (RunPeerTool(Icotool, cursor).Ok()) files.Cursor = Dir.filePath("multi.cur");
    return files;
}


void WriteAll(const QString& File, const QByteArray& Data)
{
    QFile f(File);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Data);
}

// What icotool sees in a file: its listing and the pixels of every image it extracts.
QStringList IcotoolView(const QString& Icotool, const QString& File)
{
    const TPeerToolResult list = RunPeerTool(Icotool, {"-l", File});
    QStringList view = QString::fromLocal8Bit(list.Out).split('\n', Qt::SkipEmptyParts);
    for (QString& line : view) line = line.section(' ', 1); // the file name goes
    QTemporaryDir out;
    const TPeerToolResult extract = RunPeerTool(Icotool, {"-x", "-o", out.path(), File});
    if (!extract.Ok()) return view << "extract failed: " + extract.Describe();
    const QDir dir(out.path());
    for (const QString& name : dir.entryList({"*.png"}, QDir::Files, QDir::Name)) {
        QImage image(dir.filePath(name));
        image = image.convertToFormat(QImage::Format_ARGB32);
        QByteArray pixels(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        view << name.section('_', 1) + " " + QString::fromLatin1(pixels.toHex().left(64)) + " #" +
                    QString::number(qHash(pixels));
    }
    return view;
}
} // namespace

// Files made by icotool import as groups and export to files icotool reads with the same images.
TEST_F(IconCursorGroups, IcotoolFilesImportAndExportInterop)
{
    const QString icotool = FindPeerTool("icotool");
    if (icotool.isEmpty()) GTEST_SKIP() << "icotool is not installed";
    QTemporaryDir temp;
    const QDir dir(temp.path());
    const TIcotoolFiles files = MakeIcotoolFiles(icotool, dir);
    ASSERT_FALSE(files.Icon.isEmpty());
    ASSERT_FALSE(files.Cursor.isEmpty());

    struct TCase {
        QString file;
        bool icon;
        int images;
    } cases[] = {{files.Icon, true, 6}, {files.Cursor, false, 2}};
    for (const TCase& c : cases) {
        TResourceModule module;
        TCustomIconCursorGroupResourceItem* group = c.icon ? static_cast<TCustomIconCursorGroupResourceItem*>(new TIconGroupResourceItem(Ord(1)))
                                                           : new TCursorGroupResourceItem(Ord(1));
        group->SetModule(&module);
        const QByteArray original = ReadAll(c.file);
        TBytesStream in(original);
        EXPECT_TRUE(group->ClassType()->HandlesFile(QStringLiteral("x.bin"), &in));
        group->LoadFromFileStream(in);
        ASSERT_EQ(group->Items()->Count(), c.images) << c.file.toStdString();
        const QString again = dir.filePath(c.icon ? "again.ico" : "again.cur");
        WriteAll(again, SavedFile(group));
        const QStringList expected = IcotoolView(icotool, c.file);
        EXPECT_EQ(IcotoolView(icotool, again), expected) << c.file.toStdString();
        EXPECT_EQ(expected.size(), 2 * c.images) << expected.join('\n').toStdString();
        EXPECT_EQ(ReadAll(again).toHex(), original.toHex()) << "an untouched file is written as read";
    }
}

// The same files compiled by windres into a RES load with their groups bound.
TEST_F(IconCursorGroups, WindresGroupsBindInterop)
{
    const QString icotool = FindPeerTool("icotool"), windres = FindPeerTool("x86_64-w64-mingw32-windres");
    if (icotool.isEmpty() || windres.isEmpty()) GTEST_SKIP() << "icotool or windres is not installed";
    QTemporaryDir temp;
    const QDir dir(temp.path());
    const TIcotoolFiles files = MakeIcotoolFiles(icotool, dir);
    ASSERT_FALSE(files.Icon.isEmpty());
    ASSERT_FALSE(files.Cursor.isEmpty());
    WriteAll(dir.filePath("x.rc"), "1 ICON \"multi.ico\"\n2 ICON \"multi.ico\"\n7 CURSOR \"multi.cur\"\n");
    const TPeerToolResult compiled = RunPeerTool(
        windres, {"-i", "x.rc", "-o", "x.res", "--input-format=rc", "--output-format=res"}, 60000, dir.path());
    ASSERT_TRUE(compiled.Ok()) << compiled.Describe().toStdString();

    TLogCapture log;
    TBytesStream res(ReadAll(dir.filePath("x.res")));
    auto module = TResourceModuleReaderRes().LoadFromStream(res);
    module->AfterLoad();
    EXPECT_TRUE(log.Messages().isEmpty()) << log.Messages().join('\n').toStdString();
    struct TCase {
        uint16_t type, name;
        QString file;
        int images;
    } cases[] = {{RT_GROUP_ICON, 1, files.Icon, 6}, {RT_GROUP_ICON, 2, files.Icon, 6}, {RT_GROUP_CURSOR, 7, files.Cursor, 2}};
    for (const TCase& c : cases) {
        auto* group = qobject_cast<TCustomIconCursorGroupResourceItem*>(module->Find(Ord(c.type), Ord(c.name)));
        ASSERT_TRUE(group) << c.name;
        EXPECT_EQ(group->Items()->Count(), c.images) << c.name;
        EXPECT_TRUE(group->KeptEntries().empty()) << c.name;
        const QString again = dir.filePath(QStringLiteral("again%1.%2").arg(c.name).arg(c.type == RT_GROUP_ICON ? "ico" : "cur"));
        WriteAll(again, SavedFile(group));
        EXPECT_EQ(IcotoolView(icotool, again), IcotoolView(icotool, c.file)) << c.name;
    }
}

// Every icon and cursor group of wine's modules binds all its images and is written back as read.
TEST_F(IconCursorGroups, WineGroupsBindAndSaveBackInterop)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine64 is not installed";
    const QList<TWineResource> resources = WineResources({RT_CURSOR, RT_ICON, RT_GROUP_CURSOR, RT_GROUP_ICON});
    int groups = 0, entries = 0;
    for (qsizetype first = 0; first < resources.size();) {
        qsizetype last = first;
        while (last < resources.size() && resources[last].Module == resources[first].Module) ++last;
        const QString module = resources[first].Module;
        TLoadedModule load;
        std::vector<std::pair<TCustomIconCursorGroupResourceItem*, QByteArray>> read;
        for (qsizetype i = first; i < last; ++i) {
            const TPEResource& r = resources[i].Resource;
            const TResourceIdent name(r.Name);
            const uint16_t ordinal = name.size() == 2 && name[0] == QChar(0xFFFF) ? name[1].unicode() : 0;
            switch (r.Type[1].unicode()) {
            case RT_ICON: load.Add<TIconResourceItem>(ordinal, r.Data, r.Language); break;
            case RT_CURSOR: load.Add<TCursorResourceItem>(ordinal, r.Data, r.Language); break;
            default: {
                TCustomIconCursorGroupResourceItem* group =
                    r.Type[1].unicode() == RT_GROUP_ICON ? static_cast<TCustomIconCursorGroupResourceItem*>(new TIconGroupResourceItem(name))
                                                         : new TCursorGroupResourceItem(name);
                group->SetLanguage(r.Language);
                group->SetModule(&load.Module);
                Load(group, r.Data);
                read.emplace_back(group, r.Data);
            }
            }
        }
        TLogCapture log;
        load.Finish();
        EXPECT_TRUE(log.Messages().isEmpty()) << module.toStdString() << ": " << log.Messages().join('\n').toStdString();
        for (const auto& [group, data] : read) {
            ++groups;
            entries += Ordinals(data).size();
            EXPECT_EQ(group->Items()->Count(), Ordinals(data).size()) << module.toStdString();
            const QByteArray saved = Saved(group);
            EXPECT_EQ(saved.size(), data.size()) << module.toStdString();
            for (int at = 6; at + 14 <= std::min(saved.size(), data.size()); at += 14) {
                const QByteArray expected = data.mid(at, 14);
                EXPECT_EQ(saved.mid(at, 14).toHex(' ').toStdString(), expected.toHex(' ').toStdString())
                    << module.toStdString() << " group " << group->NameAsString().toStdString();
            }
            EXPECT_EQ(group->Size(), data.size()) << module.toStdString();
        }
        first = last;
    }
    std::cout << groups << " groups with " << entries << " entries\n";
    EXPECT_GT(groups, 0);
}

// Saving numbers the images again; the language variants of one image keep one number, so the group
// still names both with one entry.
TEST_F(IconCursorGroups, LanguageVariantsKeepOneNumberWhenSaved)
{
    TLoadedModule load;
    load.Icon(5, 16, 4, 0x0409);
    load.Icon(5, 32, 8, 0x0407);
    load.Icon(9, 48, 4, 0x0409);
    auto* group = load.IconGroup(1, {5, 9}, 0x0409);
    load.Finish();
    QTemporaryDir dir;
    load.Module.SaveToFile(dir.filePath("x.res"));
    EXPECT_EQ(ChildOrdinals(group), (QList<uint16_t>{1, 1, 2}));
    EXPECT_EQ(Ordinals(Saved(group)), (QList<uint16_t>{1, 2}));
}

// A group without a module holds the images it makes; they join the module with it, or go with it.
TEST_F(IconCursorGroups, GroupWithoutModuleHoldsItsImages)
{
    const QByteArray file = IconFile(1, {{16, 4, IconDIB(16, 4, 1)}, {32, 8, IconDIB(32, 8, 2)}});
    QPointer<TCustomResourceItem> image;
    {
        TIconGroupResourceItem loose(Ord(1));
        LoadFile(&loose, file);
        ASSERT_EQ(loose.Items()->Count(), 2);
        image = loose.Items()->Items(0);
    }
    EXPECT_TRUE(image.isNull()) << "freed with the group";

    TLoadedModule load;
    load.Finish();
    auto* group = new TIconGroupResourceItem(Ord(1));
    LoadFile(group, file);
    group->SetModule(&load.Module);
    ASSERT_EQ(group->Items()->Count(), 2);
    for (TCustomResourceItem* child : *group->Items()) EXPECT_EQ(child->Module(), &load.Module);
    EXPECT_EQ(load.Module.Items()->Count(), 3);

    // Data read without a module is bound when the group joins one.
    auto* copy = new TIconGroupResourceItem(Ord(2));
    TLogCapture log;
    Load(copy, Saved(group));
    Load(group, GroupData(1, {}));
    copy->SetModule(&load.Module);
    EXPECT_EQ(copy->Items()->Count(), 2);
    EXPECT_TRUE(log.Messages().isEmpty()) << log.Messages().join('\n').toStdString();
}
