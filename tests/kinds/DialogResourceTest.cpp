#include "kinds/koResourceItemDialog.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/PublishedProperties.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <vector>

// A text of everything a dialog's model holds, for comparing two loads.
QString DumpDialogModel(TDialogResourceItem* Dialog)
{
    QStringList lines;
    lines << QStringLiteral("help=%1 style=%2 ex=%3 rect=%4,%5,%6,%7")
                 .arg(Dialog->HelpID())
                 .arg(Dialog->Style(), 8, 16)
                 .arg(Dialog->ExStyle(), 8, 16)
                 .arg(Dialog->Left())
                 .arg(Dialog->Top())
                 .arg(Dialog->Width())
                 .arg(Dialog->Height());
    lines << QStringLiteral("menu=%1 class=%2 caption=%3")
                 .arg(QString::fromLatin1(Dialog->Menu()->IdentifierValue().toUtf8().toHex()),
                      QString::fromLatin1(Dialog->DialogClass().toUtf8().toHex()), Dialog->Caption());
    const TDialogFont* font = Dialog->Font();
    lines << QStringLiteral("font=%1 %2 %3 %4").arg(font->Name()).arg(font->Size()).arg(font->Charset()).arg(
                 font->Style().toInt());
    for (int i = 0; i < Dialog->Items()->Count(); ++i) {
        TDialogResourceItemControl* c = Dialog->Items()->Items(i);
        lines << QStringLiteral("control help=%1 style=%2 ex=%3 rect=%4,%5,%6,%7 id=%8 class=%9 cc=%10 text=%11 extra=%12")
                     .arg(c->HelpIDValue())
                     .arg(c->Style(), 8, 16)
                     .arg(c->ExStyle(), 8, 16)
                     .arg(c->Left())
                     .arg(c->Top())
                     .arg(c->Width())
                     .arg(c->Height())
                     .arg(c->IDValue())
                     .arg(QString::fromLatin1(c->ClassName().toUtf8().toHex()))
                     .arg(int(c->ControlClass()))
                     .arg(QString::fromLatin1(c->Text().toUtf8().toHex()), QString::fromLatin1(c->Extra().toHex()));
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

// Template bytes written field by field.
class TTemplateBytes {
public:
    TTemplateBytes& W(uint16_t v)
    {
        FData.WriteWord(v);
        return *this;
    }
    TTemplateBytes& D(uint32_t v)
    {
        FData.WriteDWord(v);
        return *this;
    }
    TTemplateBytes& B(uint8_t v)
    {
        FData.WriteByte(v);
        return *this;
    }
    // A string with its terminator, or an ordinal form as its two words.
    TTemplateBytes& Str(const QString& s)
    {
        if (IsOrdinalResourceIdent(s)) {
            FData.WriteWord(0xFFFF);
            FData.WriteWord(s.at(1).unicode());
            return *this;
        }
        for (QChar ch : s) FData.WriteWord(ch.unicode());
        FData.WriteWord(0);
        return *this;
    }
    TTemplateBytes& Raw(const QByteArray& bytes)
    {
        FData.WriteBytes(bytes);
        return *this;
    }
    TTemplateBytes& Align()
    {
        while (FData.Size() % 4) FData.WriteByte(0);
        return *this;
    }
    QByteArray Bytes() const { return FData.ToByteArray(); }

private:
    TMemoryStream FData;
};

// A standard header: style, ex style, count, rectangle, no menu, no class, the caption.
TTemplateBytes StandardHeader(uint32_t style, uint16_t count, const QString& caption = QString())
{
    TTemplateBytes t;
    t.D(style).D(0).W(count).W(1).W(2).W(100).W(50).W(0).W(0).Str(caption);
    return t;
}

TTemplateBytes ExtendedHeader(uint32_t style, uint16_t count)
{
    TTemplateBytes t;
    t.W(1).W(0xFFFF).D(0).D(0).D(style).W(count).W(1).W(2).W(100).W(50).W(0).W(0).W(0);
    return t;
}

// An extended control without creation data.
void ExtendedControl(TTemplateBytes& t, uint32_t style, uint32_t id, uint16_t classMarker, uint16_t classOrdinal,
                     const QString& text)
{
    t.Align().D(0).D(0).D(style).W(3).W(4).W(50).W(14).D(id).W(classMarker).W(classOrdinal).Str(text).W(0);
}

class TCollector : public IResourceMessageLogSubscriber {
public:
    void LogMessage(const IResourceMessagePtr& Msg) override { Messages.push_back(Msg); }
    int Count(const QString& text) const
    {
        int n = 0;
        for (const auto& m : Messages)
            if (m->GetMessage() == text) ++n;
        return n;
    }
    std::vector<IResourceMessagePtr> Messages;
};

class DialogResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemDialog_Initialize();
        Module.SetDeferDefaultSymbols(true);
        Log = std::make_shared<TCollector>();
        MessageLogger()->Subscribe(Log);
    }
    void TearDown() override
    {
        MessageLogger()->Unsubscribe(Log);
        koResourceItemDialog_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    static std::unique_ptr<TDialogResourceItem> Load(const QByteArray& bytes)
    {
        auto dialog = std::make_unique<TDialogResourceItem>(Ord(1));
        TBytesStream data(bytes);
        dialog->LoadFromStream(data, bytes.size());
        return dialog;
    }
    static QByteArray Save(TDialogResourceItem* dialog)
    {
        TMemoryStream out;
        dialog->SaveToStream(out);
        return out.ToByteArray();
    }
    TCustomResourceItem* LoadIntoModule(uint16_t type, uint16_t name, const QByteArray& bytes)
    {
        TBytesStream data(bytes);
        return LoadResourceItem(&Module, Ord(type), Ord(name), 0x0409, data, bytes.size());
    }
    TResourceModule Module;
    std::shared_ptr<TCollector> Log;
};
} // namespace

TEST_F(DialogResources, EmptyDialogSavesHeaderAndThreeEmptyFields)
{
    TDialogResourceItem dialog(Ord(1));
    dialog.Clear();
    dialog.SetWidth(0);
    dialog.SetHeight(0);
    const QByteArray expected = TTemplateBytes().W(1).W(0xFFFF).D(0).D(0).D(0).W(0).W(0).W(0).W(0).W(0).W(0).W(0).W(0).Bytes();
    EXPECT_EQ(Save(&dialog), expected);
    EXPECT_EQ(expected.size(), 32);
}

TEST_F(DialogResources, NewDialogSavesItsDefaults)
{
    TDialogResourceItem dialog(Ord(1));
    dialog.InitializeNewItem();
    const QByteArray expected = TTemplateBytes()
                                    .W(1).W(0xFFFF).D(0).D(0).D(0x90C800C0).W(0).W(0).W(0).W(186).W(95)
                                    .W(0).W(0).W(0)
                                    .W(8).W(0).B(0).B(dialog.Font()->Charset()).Str(QStringLiteral("MS Shell Dlg"))
                                    .Align()
                                    .Bytes();
    EXPECT_EQ(Save(&dialog), expected);
    EXPECT_TRUE(dialog.Extended());
}

// Creation data of a standard template counts its own size word; a wrong reading would shift the
// control after it.
TEST_F(DialogResources, StandardTemplateConvertsToExtendedAndReadsBackEqual)
{
    TTemplateBytes t = StandardHeader(0x80C800C0 | DS_SETFONT, 3, QStringLiteral("Title"));
    t.W(9).Str(QStringLiteral("Tahoma")).Align();
    // A custom control with four bytes of creation data: the count word says 6.
    t.D(0x50000000).D(0x200).W(5).W(6).W(70).W(12).W(42).Str(QStringLiteral("MyClass")).Str(QStringLiteral("abc"));
    t.W(6).Raw(QByteArray("\x01\x02\x03\x04", 4)).Align();
    t.D(0x50010001).D(0).W(7).W(8).W(50).W(14).W(0xFFFF).W(0xFFFF).W(0x0080).Str(QStringLiteral("OK")).W(0).Align();
    // An icon static referring to resource 7.
    t.D(0x50000003).D(0).W(1).W(1).W(20).W(20).W(100).W(0xFFFF).W(0x0082).W(0xFFFF).W(7).W(0);
    const QByteArray original = t.Bytes();

    auto dialog = Load(original);
    EXPECT_FALSE(dialog->Extended());
    ASSERT_EQ(dialog->Items()->Count(), 3);
    EXPECT_EQ(dialog->Caption(), QStringLiteral("Title"));
    EXPECT_EQ(dialog->Font()->Name(), QStringLiteral("Tahoma"));
    EXPECT_EQ(dialog->Font()->Size(), 9);
    EXPECT_EQ(dialog->Font()->Charset(), 0);
    TDialogResourceItemControl* custom = dialog->Items()->Items(0);
    EXPECT_EQ(custom->ControlClass(), ccCustom);
    EXPECT_EQ(custom->ControlClassName(), QStringLiteral("MyClass"));
    EXPECT_EQ(custom->Extra(), QByteArray("\x01\x02\x03\x04", 4));
    EXPECT_EQ(custom->ExStyle(), 0x200u);
    TDialogResourceItemControl* button = dialog->Items()->Items(1);
    EXPECT_EQ(button->ControlClass(), ccButton);
    EXPECT_EQ(button->Text(), QStringLiteral("OK"));
    EXPECT_EQ(button->IDValue(), 0xFFFF);
    EXPECT_EQ(button->ID()->Value(), QStringLiteral("-1"));
    TDialogResourceItemControl* icon = dialog->Items()->Items(2);
    EXPECT_EQ(icon->ControlClass(), ccStatic);
    EXPECT_EQ(icon->Text(), QString(Ord(7)));

    const QByteArray saved = Save(dialog.get());
    auto again = Load(saved);
    EXPECT_TRUE(again->Extended());
    EXPECT_EQ(DumpDialogModel(again.get()), DumpDialogModel(dialog.get()));
    EXPECT_EQ(Save(again.get()), saved);
}

TEST_F(DialogResources, ControlCountPastTheDataStopsWithAWarning)
{
    TTemplateBytes t = ExtendedHeader(0x80C80000, 5);
    ExtendedControl(t, 0x50000000, 1, 0xFFFF, 0x0080, QStringLiteral("A"));
    ExtendedControl(t, 0x50000000, 2, 0xFFFF, 0x0080, QStringLiteral("B"));
    auto dialog = Load(t.Bytes());
    ASSERT_EQ(dialog->Items()->Count(), 2);
    EXPECT_EQ(dialog->Items()->Items(1)->Text(), QStringLiteral("B"));
    ASSERT_EQ(Log->Messages.size(), 1u);
    EXPECT_EQ(Log->Messages[0]->GetKind(), rmWarning);
    EXPECT_TRUE(Log->Messages[0]->GetMessage().startsWith(QStringLiteral("Dialog template holds fewer controls")));
}

// Cut-short and unterminated data: nothing is read past the data and nothing crashes.
TEST_F(DialogResources, MalformedTemplatesReadOnlyTheirData)
{
    const QByteArray full = [] {
        TTemplateBytes t = ExtendedHeader(0x80C80040, 2);
        t.W(8).W(700).B(1).B(204).Str(QStringLiteral("Font"));
        ExtendedControl(t, 0x50000000, 1, 0xFFFF, 0x0080, QStringLiteral("First"));
        ExtendedControl(t, 0x50000000, 2, 0, 0, QStringLiteral("Second"));
        return t.Bytes();
    }();
    // Every cut from the end of the header on loads; the cut data sits in a larger buffer so a read past
    // the given size would see the rest of the template.
    for (int size = 26; size <= full.size(); ++size) {
        auto dialog = std::make_unique<TDialogResourceItem>(Ord(1));
        TBytesStream data(full);
        ASSERT_NO_THROW(dialog->LoadFromStream(data, size)) << size;
        EXPECT_EQ(data.Position(), size);
        EXPECT_LE(dialog->Items()->Count(), 2);
    }
    auto font = Load(full);
    EXPECT_TRUE(font->Font()->IsBold());
    EXPECT_TRUE(font->Font()->IsItalic());
    EXPECT_EQ(font->Font()->Charset(), 204);
    EXPECT_EQ(font->Items()->Count(), 2);

    // A caption without its terminator ends with the data.
    const QByteArray open = TTemplateBytes().D(0).D(0).W(3).W(0).W(0).W(0).W(0).W(0).W(0).W('a').W('b').Bytes();
    auto dialog = Load(open);
    EXPECT_EQ(dialog->Caption(), QStringLiteral("ab"));
    EXPECT_EQ(dialog->Items()->Count(), 0);
}

TEST_F(DialogResources, HeaderCutShortFallsBackToRawData)
{
    for (const QByteArray& bytes : {QByteArray("\x01\x00", 2), ExtendedHeader(0, 0).Bytes().left(20),
                                    StandardHeader(0, 0).Bytes().left(17)}) {
        EXPECT_THROW(Load(bytes), EReadError);
        TCustomResourceItem* item = LoadIntoModule(RT_DIALOG, 7, bytes);
        auto* raw = qobject_cast<TCustomResourceItemGeneric*>(item);
        ASSERT_NE(raw, nullptr);
        EXPECT_EQ(raw->Data()->ToByteArray(), bytes);
        Module.Items()->Remove(item);
    }
    EXPECT_EQ(Log->Messages.size(), 3u);
    for (const auto& m : Log->Messages) EXPECT_EQ(m->GetKind(), rmError);
}

TEST_F(DialogResources, ControlClassesByOrdinalMarkerAndName)
{
    struct TCase {
        uint16_t Marker;
        uint16_t Ordinal;
        TResourceDialogControlClass Class;
        QString Name;
    };
    const TCase cases[] = {
        {0xFFFF, 0x0080, ccButton, "Button"},       {0xFF00, 0x0082, ccStatic, "Static"},
        {0xFFFF, 0x0085, ccCombobox, "Combobox"},   {0xFFFF, 0x0086, ccCustom, QString(Ord(0x86))},
        {0xFF00, 0x0083, ccListbox, "Listbox"},
    };
    for (const TCase& c : cases) {
        TTemplateBytes t = ExtendedHeader(0, 1);
        ExtendedControl(t, 0x50000000, 1, c.Marker, c.Ordinal, QStringLiteral("x"));
        auto dialog = Load(t.Bytes());
        ASSERT_EQ(dialog->Items()->Count(), 1);
        TDialogResourceItemControl* control = dialog->Items()->Items(0);
        EXPECT_EQ(control->ControlClass(), c.Class) << c.Ordinal;
        EXPECT_EQ(control->ControlClassName(), c.Name) << c.Ordinal;
        // Either marker is written back as 0xFFFF.
        EXPECT_EQ(control->ClassName(), QString(Ord(c.Ordinal)));
        EXPECT_EQ(Save(dialog.get()).mid(32 + 24, 4), TTemplateBytes().W(0xFFFF).W(c.Ordinal).Bytes());
    }
}

TEST_F(DialogResources, ControlIDsAreWrittenAs32Bits)
{
    const std::pair<uint32_t, uint32_t> cases[] = {{0xFFFF, 0xFFFFFFFF}, {100, 0x64}, {0x1234FFFF, 0xFFFFFFFF}, {0x00050064, 0x64}};
    for (const auto& [read, written] : cases) {
        TTemplateBytes t = ExtendedHeader(0, 1);
        ExtendedControl(t, 0, read, 0xFFFF, 0x0080, QString());
        auto dialog = Load(t.Bytes());
        TBytesStream saved(Save(dialog.get()));
        saved.SetPosition(32 + 20);
        EXPECT_EQ(saved.ReadDWord(), written) << read;
    }
}

TEST_F(DialogResources, NativeFontControlBecomesAHiddenStatic)
{
    TTemplateBytes t = ExtendedHeader(0, 3);
    for (const QString& name : {QStringLiteral("NativeFontCtl"), QStringLiteral("nativefontctl")})
        t.Align().D(0).D(0).D(0x50000000).W(0).W(0).W(10).W(10).D(5).Str(name).Str(QString()).W(0);
    ExtendedControl(t, 0x50000000, 6, 0xFFFF, 0x0080, QStringLiteral("ok"));
    auto dialog = Load(t.Bytes());
    ASSERT_EQ(dialog->Items()->Count(), 3);
    for (int i = 0; i < 2; ++i) {
        TDialogResourceItemControl* control = dialog->Items()->Items(i);
        EXPECT_EQ(control->ControlClass(), ccStatic);
        EXPECT_EQ(control->ClassName(), QString(Ord(0x82)));
        EXPECT_EQ(control->Style(), 0x40000000u);
    }
    EXPECT_EQ(Log->Count(QStringLiteral("The Native Font Control has been deprecated. A hidden static control has been "
                                        "created in its place.")),
              2);

    // Renaming a control's class to it does the same.
    TDialogResourceItemControl* button = dialog->Items()->Items(2);
    button->SetControlClassName(QStringLiteral("NATIVEFONTCTL"));
    EXPECT_EQ(button->ControlClass(), ccStatic);
    EXPECT_EQ(button->Style() & WS_VISIBLE, 0u);
    EXPECT_EQ(Log->Messages.size(), 3u);
}

TEST_F(DialogResources, ChildAndPopupStylesExcludeEachOther)
{
    struct TCase {
        uint32_t Before;
        uint32_t Set;
        uint32_t After;
        bool Warned;
    };
    const TCase cases[] = {
        {0x40000001, 0xC0000001, 0x80000001, true},  // WS_POPUP added to a child: the child bit goes
        {0x80000001, 0xC0000001, 0x40000001, true},  // WS_CHILD added to a popup: the popup bit goes
        {0x00000001, 0xC0000001, 0xC0000001, true},  // both at once on neither: both stay
        {0x40000001, 0x50000001, 0x50000001, false}, // no clash
    };
    for (const TCase& c : cases) {
        TDialogResourceItem dialog(Ord(1));
        TDialogResourceItemControl* control = dialog.Items()->Add();
        control->SetStyle(c.Before);
        Log->Messages.clear();
        control->SetStyle(c.Set);
        EXPECT_EQ(control->Style(), c.After) << std::hex << c.Set;
        EXPECT_EQ(Log->Count(QStringLiteral("WS_CHILD and WS_POPUP styles are mutually exclusive")), c.Warned ? 1 : 0);
    }
}

TEST_F(DialogResources, StyleTexts)
{
    TDialogResourceItem dialog(Ord(1));
    dialog.SetStyle(0x000000C0);
    EXPECT_EQ(dialog.WindowStyleAsString(),
              QStringLiteral("DS_SETFONT | DS_MODALFRAME | WS_OVERLAPPED | NOT WS_SYSMENU | NOT WS_BORDER | NOT WS_POPUP"));
    EXPECT_EQ(dialog.DialogStyleAsString(), QStringLiteral("DS_SETFONT | DS_MODALFRAME"));
    dialog.SetStyle(0x90C800C0);
    EXPECT_EQ(dialog.WindowStyleAsString(), QStringLiteral("DS_SETFONT | DS_MODALFRAME | WS_SYSMENU | WS_DLGFRAME | "
                                                           "WS_BORDER | WS_VISIBLE | WS_POPUP"));
    dialog.SetStyle(0x00014000);
    EXPECT_TRUE(dialog.WindowStyle().testFlag(DialogTypes::ws_MaximizeBox));
    EXPECT_TRUE(dialog.DialogStyle().testFlag(DialogTypes::ds_4000));
    EXPECT_EQ(dialog.WindowStyleAsString(),
              QStringLiteral("0x00004000L | WS_MAXIMIZEBOX | NOT WS_SYSMENU | NOT WS_BORDER | NOT WS_POPUP"));
    // The style sets write through the style.
    dialog.SetWindowStyle(TWindowStyle(DialogTypes::ws_Popup));
    dialog.SetDialogStyle(TDialogResourceItem::TDialogStyle(DialogTypes::ds_SetFont));
    EXPECT_EQ(dialog.Style(), 0x80000040u);
    dialog.SetWindowExStyle(TWindowExStyle(DialogTypes::ws_ex_80000000));
    EXPECT_EQ(dialog.ExStyle(), 0x80000000u);

    EXPECT_EQ(WindowExStyleAsString(0), QStringLiteral("0"));
    EXPECT_EQ(WindowExStyleAsString(0x80000202), QStringLiteral("0x00000002L | WS_EX_CLIENTEDGE | 0x80000000L"));

    TDialogResourceItemControl* control = dialog.Items()->Add();
    control->SetStyle(0x50010041);
    EXPECT_EQ(control->WindowStyleAsString(), QStringLiteral("0x00000041L | WS_TABSTOP | WS_VISIBLE | WS_CHILD"));
    control->SetStyle(0x00020000);
    EXPECT_EQ(control->WindowStyleAsString(), QStringLiteral("0x00000000L | WS_GROUP | NOT WS_VISIBLE | NOT WS_CHILD"));
    control->SetWindowStyle(TDialogResourceItemControl::TControlWindowStyle(DialogTypes::WS_Child));
    EXPECT_EQ(control->Style(), 0x40000000u);
}

TEST_F(DialogResources, OrdinalDialogClassIsKeptAndWrittenBack)
{
    TTemplateBytes t;
    t.W(1).W(0xFFFF).D(0).D(0).D(0).W(0).W(0).W(0).W(10).W(10).W(0xFFFF).W(0x0010).W(0xFFFF).W(0x8002)
        .Str(QStringLiteral("Caption")).Align();
    const QByteArray bytes = t.Bytes();
    auto dialog = Load(bytes);
    EXPECT_EQ(dialog->DialogClass(), QString(Ord(0x8002)));
    EXPECT_EQ(dialog->Menu()->IdentifierValue(), Ord(0x10));
    EXPECT_EQ(dialog->Caption(), QStringLiteral("Caption"));
    EXPECT_EQ(Save(dialog.get()), bytes);

    // Names: the menu's is upper-cased as every resource name, the class keeps its case.
    TTemplateBytes named;
    named.W(1).W(0xFFFF).D(0).D(0).D(0).W(0).W(0).W(0).W(10).W(10).Str(QStringLiteral("MainMenu"))
        .Str(QStringLiteral("MyClass")).Str(QString()).Align();
    auto withNames = Load(named.Bytes());
    EXPECT_EQ(withNames->Menu()->IdentifierValue(), TResourceIdent(QStringLiteral("MAINMENU")));
    EXPECT_EQ(withNames->DialogClass(), QStringLiteral("MyClass"));
}

TEST_F(DialogResources, ChangesComeInBatches)
{
    class TCounter : public IResourceItemNotification {
    public:
        void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification n) override
        {
            if (n == rnChanged) ++Changed;
        }
        int Changed = 0;
    } counter;
    TDialogResourceItem dialog(Ord(1));
    TDialogResourceItemControl* control = dialog.Items()->Add();
    dialog.Subscribe(&counter);
    dialog.SetLeft(5);
    dialog.SetLeft(5);
    control->SetWidth(20);
    control->SetWidth(20);
    dialog.Font()->SetName(QStringLiteral("Arial"));
    TDialogFont other;
    other.SetName(QStringLiteral("Courier"));
    other.SetStyle(DialogTypes::Bold | DialogTypes::Italic);
    int fired = 0;
    other.OnChange = [&] { ++fired; };
    other.Assign(*dialog.Font());
    EXPECT_EQ(fired, 1);
    dialog.SetFont(&other);
    EXPECT_EQ(counter.Changed, 4);
    dialog.Unsubscribe(&counter);
}

TEST_F(DialogResources, ClassChangesAndStyleViews)
{
    static int made = 0;
    const auto chooser = [](const TDialogResourceItemControl* control) -> TDialogControlPropertiesClass {
        ++made;
        return control->ControlClass() == ccButton ? &TDialogControlProperties::Create : nullptr;
    };
    const TDialogControlPropertiesChooser previous = SetDialogControlPropertiesFactory(chooser);
    TDialogResourceItem dialog(Ord(1));
    TDialogResourceItemControl* control = dialog.Items()->Add();
    control->SetStyle(0x50000001);
    EXPECT_EQ(control->ControlStyle()->ControlStyleAsString(), QStringLiteral("0x00000001L"));
    control->ControlStyle();
    EXPECT_EQ(made, 1);

    struct TCase {
        QString Name;
        TResourceDialogControlClass Class;
        QString ClassName;
    };
    const TCase cases[] = {{"combobox", ccCombobox, Ord(0x85)}, {"BUTTON", ccButton, Ord(0x80)},
                           {"RichEdit20W", ccCustom, "RichEdit20W"}, {"Edit", ccEdit, Ord(0x81)}};
    for (const TCase& c : cases) {
        control->SetControlClassName(c.Name);
        EXPECT_EQ(control->ControlClass(), c.Class) << c.Name.toStdString();
        EXPECT_EQ(control->ClassName(), c.ClassName) << c.Name.toStdString();
        control->ControlStyle();
    }
    EXPECT_EQ(made, 5);
    control->SetControlClass(ccCustom);
    EXPECT_EQ(control->ClassName(), QString());
    control->ControlStyle();
    EXPECT_EQ(made, 6);
    SetDialogControlPropertiesFactory(previous);
}

TEST_F(DialogResources, PropertyNames)
{
    TDialogResourceItem dialog(Ord(1));
    EXPECT_EQ(dialog.MapPropertyName(QStringLiteral("HelpID")), QStringLiteral("Help ID"));
    EXPECT_EQ(dialog.MapPropertyName(QStringLiteral("WindowExStyle")), QStringLiteral("Window ExStyle"));
    EXPECT_EQ(dialog.MapPropertyName(QStringLiteral("Caption")), QStringLiteral("Caption"));
    TDialogResourceItemControl* control = dialog.Items()->Add();
    control->SetControlClass(ccStatic);
    const std::pair<uint32_t, QString> types[] = {{0, "Text"}, {3, "Icon"}, {14, "Bitmap"}, {15, "Image"}};
    for (const auto& [type, caption] : types) {
        control->SetStyle(0x50000000 | type);
        EXPECT_EQ(control->MapPropertyName(QStringLiteral("textid")), caption);
    }
    EXPECT_EQ(control->MapPropertyName(QStringLiteral("ControlClassName")), QStringLiteral("Class Name"));
    EXPECT_EQ(control->MapPropertyName(QStringLiteral("TabOrder")), QStringLiteral("Tab Order"));
    EXPECT_EQ(control->MapPropertyName(QStringLiteral("Left")), QStringLiteral("Left"));
}

TEST_F(DialogResources, SymbolsBindAfterLoad)
{
    Module.BeforeLoad();
    // Menu 5 and bitmap 9, each with a symbol.
    TCustomResourceItem* menu = LoadIntoModule(RT_MENU, 5, QByteArray(4, '\0'));
    TCustomResourceItem* bitmap = LoadIntoModule(RT_BITMAP, 9, QByteArray(4, '\0'));
    TTemplateBytes t;
    t.W(1).W(0xFFFF).D(0).D(0).D(0).W(3).W(0).W(0).W(10).W(10).W(0xFFFF).W(5).W(0).W(0).Align();
    ExtendedControl(t, 0x5000000E, 100, 0xFFFF, 0x0082, Ord(9));
    ExtendedControl(t, 0x50000000, 100, 0xFFFF, 0x0080, QStringLiteral("a"));
    ExtendedControl(t, 0x50000000, 101, 0xFFFF, 0x0080, QStringLiteral("b"));
    auto* dialog = qobject_cast<TDialogResourceItem*>(LoadIntoModule(RT_DIALOG, 1, t.Bytes()));
    ASSERT_NE(dialog, nullptr);
    Module.AfterLoad();
    menu->ID()->SetIdentifier(QStringLiteral("IDM_MAIN"));
    bitmap->ID()->SetIdentifier(QStringLiteral("IDB_LOGO"));
    dialog->AfterLoad();
    EXPECT_EQ(dialog->Menu()->ID(), QStringLiteral("IDM_MAIN"));
    EXPECT_EQ(dialog->Items()->Items(0)->TextID()->ID(), QStringLiteral("IDB_LOGO"));

    Log->Messages.clear();
    dialog->AssignChildItemIdentifier(100, "IDC_PAIR");
    EXPECT_EQ(dialog->Items()->Items(0)->ID()->ID(), QStringLiteral("IDC_PAIR"));
    EXPECT_EQ(dialog->Items()->Items(1)->ID()->ID(), QStringLiteral("IDC_PAIR"));
    EXPECT_EQ(dialog->Items()->Items(2)->ID()->ID(), QStringLiteral("101"));
    EXPECT_TRUE(Log->Messages.empty());
    dialog->AssignChildItemIdentifier(300, "IDC_NONE");
    EXPECT_EQ(Log->Count(QStringLiteral("Symbol not resolved for DIALOG control: IDC_NONE")), 1);
    EXPECT_EQ(dialog->Items()->Items(0)->DisplayName(), QString(Ord(9)) + QStringLiteral(" (IDC_PAIR)"));
}

TEST_F(DialogResources, HelpIDsFollowTheGenerateRules)
{
    Module.BeforeLoad();
    const uint32_t generated = 0x80000000u + (20u << 16) + 1001;
    TTemplateBytes t = ExtendedHeader(0, 4);
    // Generated for this dialog; named by a help file symbol; generated for dialog 21 and shared; unresolved.
    t.Align().D(generated).D(0).D(0x50000000).W(0).W(0).W(9).W(9).D(1001).W(0xFFFF).W(0x80).W(0).W(0);
    t.Align().D(0x00001234).D(0).D(0x50000000).W(0).W(0).W(9).W(9).D(1002).W(0xFFFF).W(0x80).W(0).W(0);
    const uint32_t shared = 0x80000000u + (21u << 16) + 1003;
    t.Align().D(shared).D(0).D(0x50000000).W(0).W(0).W(9).W(9).D(1003).W(0xFFFF).W(0x80).W(0).W(0);
    t.Align().D(0x00050007).D(0).D(0x50000000).W(0).W(0).W(9).W(9).D(1004).W(0xFFFF).W(0x80).W(0).W(0);
    TTemplateBytes u = ExtendedHeader(0, 1);
    u.Align().D(shared).D(0).D(0x50000000).W(0).W(0).W(9).W(9).D(1003).W(0xFFFF).W(0x80).W(0).W(0);
    auto* dialog = qobject_cast<TDialogResourceItem*>(LoadIntoModule(RT_DIALOG, 20, t.Bytes()));
    auto* other = qobject_cast<TDialogResourceItem*>(LoadIntoModule(RT_DIALOG, 21, u.Bytes()));
    ASSERT_TRUE(dialog && other);

    TResourceSymbolFile* help = Module.SymbolFile()->Files()->Add(QStringLiteral("app.hm"));
    Module.SymbolFile()->SetHelpFile(help);
    TResourceSymbol* helpSymbol = Module.Symbols()->Add(QStringLiteral("HIDC_NAMED"));
    helpSymbol->SetSourceFile(help);
    helpSymbol->SetLiteralValue(QStringLiteral("0x00001234"));
    dialog->AssignChildItemIdentifier(1002, "IDC_NAMED");
    dialog->AssignChildItemIdentifier(1003, "IDC_SHARED");
    other->AssignChildItemIdentifier(1003, "IDC_SHARED");
    Log->Messages.clear();
    Module.AfterLoad();

    const bool expected[] = {true, true, true, false};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog->Items()->Items(i)->HelpID()->Generate(), expected[i]) << i;
    EXPECT_TRUE(other->Items()->Items(0)->HelpID()->Generate());
    // The shared symbol keeps the value both controls were read with.
    EXPECT_EQ(dialog->Items()->Items(2)->HelpIDValue(), shared);
    EXPECT_EQ(other->Items()->Items(0)->HelpIDValue(), shared);
    EXPECT_EQ(dialog->Items()->Items(0)->HelpIDValue(), generated);
    ASSERT_EQ(Log->Messages.size(), 1u);
    EXPECT_EQ(Log->Messages[0]->GetMessage(),
              QStringLiteral("Failed to resolve help ID of dialog control 20.1004 (20.1004). HelpID: 0x00050007 (32773.7)"));
    ASSERT_TRUE(Log->Messages[0]->GetContext());
    EXPECT_EQ(Log->Messages[0]->GetContext()->GetResourceItem(), dialog);
}

TEST_F(DialogResources, RegisteredForDialogsOnly)
{
    EXPECT_EQ(ResourceItemDatabase()->Find(Ord(RT_DIALOG), Ord(1), nullptr), TDialogResourceItem::ClassInfo());
    EXPECT_NE(ResourceItemDatabase()->Find(Ord(RT_MENU), Ord(1), nullptr), TDialogResourceItem::ClassInfo());
    EXPECT_TRUE(TDialogResourceItem::Capabilities().Contains(rcWrite));
    EXPECT_TRUE(TDialogResourceItem::Capabilities().Contains(rcCreate));
}

TEST_F(DialogResources, PublishedPropertiesReachTheModel)
{
    TDialogResourceItem dialog(Ord(1));
    QStringList names;
    for (const QMetaProperty& p : PublishedProperties(&TDialogResourceItem::staticMetaObject)) names << p.name();
    const QStringList own = {"Filename", "Extended", "Items", "HelpID", "Style", "ExStyle", "Left", "Top", "Width",
                             "Height", "DialogClass", "Caption", "Font", "Menu", "DialogStyle", "WindowStyle",
                             "WindowExStyle"};
    EXPECT_EQ(names.mid(names.size() - own.size()), own);

    // Sets and numbers go through the setters.
    const QMetaProperty windowStyle = FindPublishedProperty(&TDialogResourceItem::staticMetaObject, "WindowStyle");
    ASSERT_TRUE(windowStyle.isValid());
    EXPECT_TRUE(windowStyle.isFlagType());
    EXPECT_TRUE(windowStyle.write(&dialog, QVariant::fromValue(TWindowStyle(DialogTypes::ws_Popup | DialogTypes::ws_Visible))));
    EXPECT_EQ(dialog.Style(), 0x90000000u);
    EXPECT_TRUE(dialog.setProperty("Left", 65526u));
    EXPECT_EQ(dialog.Left(), 65526);
    EXPECT_EQ(windowStyle.read(&dialog).value<TWindowStyle>(), TWindowStyle(DialogTypes::ws_Popup | DialogTypes::ws_Visible));

    TDialogResourceItemControl* control = dialog.Items()->Add();
    const QMetaProperty controlClass =
        FindPublishedProperty(&TDialogResourceItemControl::staticMetaObject, "ControlClass");
    ASSERT_TRUE(controlClass.isEnumType());
    EXPECT_TRUE(controlClass.write(control, QVariant::fromValue(ccEdit)));
    EXPECT_EQ(control->ClassName(), QString(Ord(0x81)));
    EXPECT_TRUE(PropertyIsDefault(control, FindPublishedProperty(&TDialogResourceItemControl::staticMetaObject, "ExStyle")));
    EXPECT_FALSE(PropertyIsDefault(control, controlClass));
    control->SetControlClass(ccCustom);
    EXPECT_TRUE(PropertyIsDefault(control, controlClass));
}
