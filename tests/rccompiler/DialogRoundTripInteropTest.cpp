// Every dialog, menu and version resource of wine's modules, loaded into the model, written as RC
// statements by our item writers and compiled back by our compiler, gives the bytes the model saves for
// it: the compiler reads everything the writers write, the way the program means it.
//
// Dialogs are compared up to the padding after their last control: the model pads it, the compilers do
// not (the RES file aligns every resource anyway). Menus and version resources are compared as the model
// saves what was compiled: the menu writer gives a separator the text "-" that the model leaves out of
// its template, and the model counts the padding after a version block's last child in the block's
// length and stores an empty string without its terminator, where the compilers do neither.
#include "DialogTestSupport.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceItemMenu.h"
#include "kinds/koResourceItemVersionInfo.h"
#include "kinds/koResourceModuleRCDialogWriter.h"
#include "kinds/koResourceModuleRCMenuWriter.h"
#include "kinds/koResourceModuleRCVersionInfoWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Streams.h"
#include "platform/WineModules.h"

#include <gtest/gtest.h>

#include <map>

namespace {
constexpr uint16_t RT_MENU = 4;
constexpr uint16_t RT_DIALOG = 5;
constexpr uint16_t RT_VERSION = 16;

TResourceIdent Ord(uint16_t Value) { return TResourceIdent::FromOrdinal(Value); }

QByteArray Saved(TCustomResourceItem* Item)
{
    TBytesStream stream;
    Item->SaveToStream(stream);
    return stream.Bytes();
}

QByteArray PaddedTo4(QByteArray Bytes)
{
    while (Bytes.size() % 4 != 0) Bytes.append('\0');
    return Bytes;
}

class DialogRoundTripInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemDialog_Initialize();
        koResourceItemDialogControls_Initialize();
        koResourceItemMenu_Initialize();
        koResourceItemVersionInfo_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCDialogWriter_Initialize();
        koResourceModuleRCMenuWriter_Initialize();
        koResourceModuleRCVersionInfoWriter_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        Module.Items()->Clear();
        koResourceModuleRCVersionInfoWriter_Finalize();
        koResourceModuleRCMenuWriter_Finalize();
        koResourceModuleRCDialogWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourceItemVersionInfo_Finalize();
        koResourceItemMenu_Finalize();
        koResourceItemDialogControls_Finalize();
        koResourceItemDialog_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }

    // Loads the type's wine resources as items named 1, 2, ... (modules share names) and writes them
    // as statements, each after its LANGUAGE. Items the model refuses stay out.
    template <typename TItem, typename TWriter>
    void WriteItems(uint16_t Type, TRCEncoder& Encoder, std::vector<TItem*>& Items)
    {
        TWriter writer{QString()};
        for (const TWineResource& resource : WineResources({Type})) {
            auto* item = new TItem(Ord(uint16_t(Items.size() + 1)));
            Module.Items()->Add(item);
            item->SetLanguage(resource.Resource.Language);
            try {
                TBytesStream data(resource.Resource.Data);
                item->LoadFromStream(data, data.Size());
            } catch (const Exception&) {
                Module.Items()->Remove(item);
                continue;
            }
            Encoder.WriteLine(QStringLiteral("LANGUAGE ") + FormatRCLanguage(item->Language()));
            writer.SaveToStream(Encoder, item, false);
            Items.push_back(item);
            Origins[item] = resource.Module + QLatin1Char(' ') + ResourceIdentToText(resource.Resource.Name);
        }
    }

    std::string Origin(TCustomResourceItem* Item) { return Origins[Item].toStdString(); }
    void RoundTrip(bool Unicode);

    TResourceModule Module;
    std::map<TCustomResourceItem*, QString> Origins;
};

// Both encodings of the writer: a UTF-16 script keeps every character of its narrow literals.
TEST_F(DialogRoundTripInterop, WineDialogsMenusAndVersionsCompileToTheModelsBytes)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine64 is not installed";
    for (const bool unicode : {false, true}) {
        SCOPED_TRACE(unicode ? "UTF-16 script" : "ANSI script");
        Module.Items()->Clear();
        Origins.clear();
        RoundTrip(unicode);
    }
}

void DialogRoundTripInterop::RoundTrip(bool Unicode)
{
    TMemoryStream out;
    std::unique_ptr<TRCEncoder> encoderOwner;
    if (Unicode) encoderOwner = std::make_unique<TRCUnicodeEncoder>(out);
    else encoderOwner = std::make_unique<TRCAnsiEncoder>(out, 1252);
    TRCEncoder& encoder = *encoderOwner;
    encoder.WritePreamble();
    encoder.WriteLine(QStringLiteral("#include <windows.h>"));
    std::vector<TDialogResourceItem*> dialogs;
    std::vector<TMenuResourceItem*> menus;
    std::vector<TVersionResourceItem*> versions;
    WriteItems<TDialogResourceItem, TRCItemDialogWriter>(RT_DIALOG, encoder, dialogs);
    WriteItems<TMenuResourceItem, TRCItemMenuWriter>(RT_MENU, encoder, menus);
    WriteItems<TVersionResourceItem, TRCItemVersionInfoWriter>(RT_VERSION, encoder, versions);
    ASSERT_FALSE(dialogs.empty());
    ASSERT_FALSE(menus.empty());
    ASSERT_FALSE(versions.empty());

    const TCompiled compiled = CompileScript(out.ToByteArray());
    ASSERT_TRUE(compiled.Ok) << compiled.Messages.join(QLatin1Char('\n')).toStdString();
    std::map<QString, QByteArray> data;
    for (const TResRecord& r : compiled.Records) data[r.Key()] = r.Data;
    auto compiledData = [&](TCustomResourceItem* Item, uint16_t Type) -> const QByteArray* {
        const TResRecord key{QStringLiteral("#%1").arg(Type), QStringLiteral("#%1").arg(Item->NameInteger()), Item->Language()};
        const auto found = data.find(key.Key());
        if (found == data.end()) ADD_FAILURE() << Origin(Item) << " was not compiled";
        return found == data.end() ? nullptr : &found->second;
    };

    // Dialogs byte for byte; menus and version resources as the model saves what was compiled.
    int differences = 0;
    for (TDialogResourceItem* item : dialogs) {
        const QByteArray* bytes = compiledData(item, RT_DIALOG);
        if (bytes && PaddedTo4(*bytes) != PaddedTo4(Saved(item)) && ++differences <= 10) {
            EXPECT_EQ(Hex(*bytes), Hex(Saved(item))) << Origin(item);
        }
    }
    auto resaved = [&](TCustomResourceItem* Item, uint16_t Type, TCustomResourceItem& Again) {
        const QByteArray* bytes = compiledData(Item, Type);
        if (!bytes) return;
        TBytesStream stream(*bytes);
        Again.LoadFromStream(stream, stream.Size());
        if (Saved(&Again) != Saved(Item) && ++differences <= 10) {
            EXPECT_EQ(Hex(Saved(&Again)), Hex(Saved(Item))) << Origin(Item);
        }
    };
    for (TMenuResourceItem* item : menus) {
        TMenuResourceItem again(Ord(1));
        resaved(item, RT_MENU, again);
    }
    for (TVersionResourceItem* item : versions) {
        TVersionResourceItem again(Ord(1));
        resaved(item, RT_VERSION, again);
    }
    EXPECT_EQ(differences, 0);
}
} // namespace
