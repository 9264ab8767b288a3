// The PE filer on modules made here byte by byte: what a directory's names become, repeated entries,
// and which files a module read from a PE file can be saved to.
#include "TestKinds.h"
#include "model/koResourceModulePE.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "platform/Exceptions.h"
#include "platform/PEImage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

void Put16(QByteArray& d, qsizetype at, uint16_t v) { qToLittleEndian(v, d.data() + at); }
void Put32(QByteArray& d, qsizetype at, uint32_t v) { qToLittleEndian(v, d.data() + at); }

// A PE32+ image with one section ".rsrc" at RVA 0x1000, file offset 0x400, holding `directory`.
QByteArray ImageWithDirectory(QByteArray directory)
{
    const qsizetype pe = 0x80, optional = pe + 24, table = optional + 240;
    QByteArray image(0x400, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, pe);
    image.replace(pe, 4, QByteArray("PE\0\0", 4));
    Put16(image, pe + 4, 0x8664);
    Put16(image, pe + 6, 1);
    Put16(image, pe + 20, 240);
    Put16(image, pe + 22, 0x2102);
    Put16(image, optional, 0x20B);
    Put32(image, optional + 32, 0x1000);
    Put32(image, optional + 36, 0x200);
    Put32(image, optional + 56, 0x2000);
    Put32(image, optional + 60, 0x400);
    Put32(image, optional + 108, 16);
    Put32(image, optional + 112 + 16, 0x1000);
    Put32(image, optional + 112 + 20, uint32_t(directory.size()));
    image.replace(table, 5, ".rsrc");
    Put32(image, table + 8, uint32_t(directory.size()));
    Put32(image, table + 12, 0x1000);
    directory.resize((directory.size() + 0x1FF) & ~0x1FF, '\0');
    Put32(image, table + 16, uint32_t(directory.size()));
    Put32(image, table + 20, 0x400);
    Put32(image, table + 36, 0x40000040);
    return image + directory;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray ItemData(TCustomResourceItem* item)
{
    TMemoryStream data;
    item->SaveToStream(data);
    return data.ToByteArray();
}

class TCollector : public IResourceMessageLogSubscriber {
public:
    void LogMessage(const IResourceMessagePtr& Msg) override { Messages.append(Msg->GetMessage()); }
    QStringList Messages;
};

class ModulePEFiler : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceModulePE_Initialize();
        ASSERT_TRUE(Dir.isValid());
    }
    void TearDown() override
    {
        koResourceModulePE_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    QString Path(const QString& name) const { return Dir.filePath(name); }

    // A module holding `resources`, written by the PE layer into an image with an empty directory.
    QString Module(const QString& name, const QList<TPEResource>& resources)
    {
        const QString path = Path(name);
        WriteFile(path, ReplacePEResources(ImageWithDirectory(QByteArray(16, '\0')), resources));
        return path;
    }

    QTemporaryDir Dir;
};

TPEResource Blob(const QString& type, const QString& name, const QByteArray& data)
{
    TPEResource r;
    r.Type = type;
    r.Name = name;
    r.Language = 0x409;
    r.Data = data;
    return r;
}

} // namespace

// A name in the directory is a name, whatever its text: "#99999" must not become an ordinal (wrapped to
// 34463), "#ABCDE" must not stop the module from opening, and "#12" stays apart from the ordinal 12.
TEST_F(ModulePEFiler, DirectoryNamesStayNames)
{
    const QStringList names = {"#ABCDE", "#99999", "#12", "#", "#-1"};
    QList<TPEResource> resources = {Blob(Ord(10), Ord(12), "ordinal twelve")};
    for (const QString& name : names) {
        resources.append(Blob(QStringLiteral("BLOB"), name, name.toUtf8()));
        resources.append(Blob(name, QStringLiteral("X"), "type " + name.toUtf8()));
    }
    const QString path = Module(QStringLiteral("names.dll"), resources);

    auto module = TCustomResourceModule::LoadFromFile(path);
    ASSERT_TRUE(module);
    EXPECT_EQ(module->Items()->Count(), resources.size());
    EXPECT_EQ(module->Find(TResourceIdent("BLOB"), Ord(34463)), nullptr);
    ASSERT_TRUE(module->Find(Ord(10), Ord(12)));
    EXPECT_EQ(ItemData(module->Find(Ord(10), Ord(12))), "ordinal twelve");
    for (int pass = 0; pass < 2; ++pass) {
        for (const QString& name : names) {
            SCOPED_TRACE(name.toStdString());
            TCustomResourceItem* named = module->Find(TResourceIdent("BLOB"), TResourceIdent(name));
            ASSERT_TRUE(named);
            EXPECT_EQ(ItemData(named), name.toUtf8());
            TCustomResourceItem* typed = module->Find(TResourceIdent(name), TResourceIdent("X"));
            ASSERT_TRUE(typed);
            EXPECT_EQ(ItemData(typed), "type " + name.toUtf8());
        }
        // And the same after a save: the names are written as names.
        module->SaveToFile(Path("names-saved.dll"));
        module = TCustomResourceModule::LoadFromFile(Path("names-saved.dll"));
        ASSERT_TRUE(module);
        EXPECT_EQ(module->Items()->Count(), resources.size());
    }
}

// The loader finds one resource per type, name and language: a repeat opens once, with a warning that
// names its entry, and saving loses nothing the module showed.
TEST_F(ModulePEFiler, RepeatedEntriesOpenOnceWithAWarning)
{
    // root 0x00 -> name table 0x18 -> language table 0x30 with 0x409 twice -> data entries 0x50, 0x60
    QByteArray directory(0x80, '\0');
    Put16(directory, 0x0E, 1);
    Put32(directory, 0x10, 10);
    Put32(directory, 0x14, 0x80000018);
    Put16(directory, 0x18 + 0x0E, 1);
    Put32(directory, 0x28, 1);
    Put32(directory, 0x2C, 0x80000030);
    Put16(directory, 0x30 + 0x0E, 2);
    for (int i = 0; i < 2; ++i) {
        Put32(directory, 0x40 + 8 * i, 0x409);
        Put32(directory, 0x44 + 8 * i, 0x50 + 0x10 * i);
        Put32(directory, 0x50 + 0x10 * i, 0x1070 + 8 * i);
        Put32(directory, 0x54 + 0x10 * i, 5);
    }
    directory.replace(0x70, 5, "first");
    directory.replace(0x78, 5, "other");
    const QString path = Path("repeated.dll");
    WriteFile(path, ImageWithDirectory(directory));

    auto collector = std::make_shared<TCollector>();
    MessageLogger()->Subscribe(collector);
    auto module = TCustomResourceModule::LoadFromFile(path);
    MessageLogger()->Unsubscribe(collector);
    ASSERT_TRUE(module);
    ASSERT_EQ(module->Items()->Count(), 1);
    EXPECT_EQ(ItemData(module->Items()->Items(0)), "first");
    EXPECT_EQ(collector->Messages,
              QStringList{"The resource directory entry at offset 0x448 repeats type 10, name 1, language 1033; "
                          "only the first one was read."});

    module->SaveToFile(Path("repeated-saved.dll"));
    auto reloaded = TCustomResourceModule::LoadFromFile(Path("repeated-saved.dll"));
    ASSERT_EQ(reloaded->Items()->Count(), 1);
    EXPECT_EQ(ItemData(reloaded->Items()->Items(0)), "first");
}

// Whatever extension a PE module has, it saves under its own name, its own extension, or over another PE
// file; a name no PE writer would choose and an existing file that is no module are refused untouched.
TEST_F(ModulePEFiler, SavesUnderTheNamesItWasReadFrom)
{
    for (const char* extension : {"cpl", "ocx", "sys", "drv", "mui", "scr", "efi", "txt", ""}) {
        SCOPED_TRACE(extension);
        const QString suffix = *extension ? QStringLiteral(".") + QString::fromLatin1(extension) : QString();
        const QString path = Module("module" + suffix, {Blob(QStringLiteral("BLOB"), QStringLiteral("A"), "old")});
        auto module = TCustomResourceModule::LoadFromFile(path);
        ASSERT_TRUE(module);
        auto* item = module->Find(TResourceIdent("BLOB"), TResourceIdent("A"));
        ASSERT_TRUE(item);
        TBytesStream changed(QByteArray("new"));
        item->LoadFromStream(changed, changed.Size());

        for (const QString& target : {path, Path("copy" + suffix)}) {
            module->SaveToFile(target);
            auto reloaded = TCustomResourceModule::LoadFromFile(target);
            ASSERT_TRUE(reloaded);
            EXPECT_EQ(ItemData(reloaded->Find(TResourceIdent("BLOB"), TResourceIdent("A"))), "new");
        }
        // Over a PE file of another extension.
        const QString other = Module("other.bin", {});
        module->SaveToFile(other);
        EXPECT_TRUE(TCustomResourceModule::LoadFromFile(other)->Find(TResourceIdent("BLOB"), TResourceIdent("A")));

        WriteFile(Path("notes.doc"), "not a module");
        EXPECT_THROW(module->SaveToFile(Path("notes.doc")), Exception);
        EXPECT_EQ(ReadFile(Path("notes.doc")), "not a module");
        EXPECT_THROW(module->SaveToFile(Path("fresh.doc")), Exception);
        EXPECT_FALSE(QFile::exists(Path("fresh.doc")));
        for (const QString& name : QDir(Dir.path()).entryList(QDir::Files)) QFile::remove(Path(name));
    }
}

// A module the PE layer can read but not lay out again: saving says why and leaves every file as it was.
TEST_F(ModulePEFiler, RefusedSavesLeaveTheFilesAlone)
{
    QByteArray image = ReplacePEResources(ImageWithDirectory(QByteArray(16, '\0')),
                                          {Blob(QStringLiteral("BLOB"), QStringLiteral("A"), "data")});
    Put32(image, 0x98 + 32, 0); // no section alignment
    const QString path = Path("unaligned.dll");
    WriteFile(path, image);
    auto module = TCustomResourceModule::LoadFromFile(path);
    ASSERT_TRUE(module);
    ASSERT_EQ(module->Items()->Count(), 1);
    for (const QString& target : {path, Path("copy.dll")}) {
        SCOPED_TRACE(target.toStdString());
        try {
            module->SaveToFile(target);
            ADD_FAILURE() << "saved";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message().contains("invalid section or file alignment (0x0, 0x200)")) << e.Message().toStdString();
        }
    }
    EXPECT_EQ(ReadFile(path), image);
    EXPECT_FALSE(QFile::exists(Path("copy.dll")));
    EXPECT_FALSE(QFile::exists(path + ".backup"));
    EXPECT_EQ(module->Items()->Count(), 1);
}
