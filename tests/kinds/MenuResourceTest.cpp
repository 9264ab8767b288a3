#include "MenuTestSupport.h"
#include "kinds/koResourceItemMenu.h"
#include "kinds/koResourceModuleRCMenuWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/ByteBuilder.h"
#include "platform/Exceptions.h"
#include "platform/PublishedProperties.h"
#include "platform/ShortCuts.h"
#include "platform/Streams.h"

#include <QMetaProperty>
#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

void AddText(QByteArray& d, const QString& text)
{
    for (QChar c : text) Add16(d, c.unicode());
    Add16(d, 0);
}

void Pad4(QByteArray& d)
{
    while (d.size() % 4) d.append('\0');
}

// Standard template pieces.
QByteArray StdHeader()
{
    QByteArray d;
    Add16(d, 0);
    Add16(d, 0);
    return d;
}

void StdPopup(QByteArray& d, uint16_t flags, const QString& text)
{
    Add16(d, flags | 0x10);
    AddText(d, text);
}

void StdItem(QByteArray& d, uint16_t flags, uint16_t id, const QString& text)
{
    Add16(d, flags);
    Add16(d, id);
    AddText(d, text);
}

// Extended template pieces; every record starts on a 4-byte boundary of the data.
QByteArray ExHeader(uint32_t helpID = 0)
{
    QByteArray d;
    Add16(d, 1);
    Add16(d, 4);
    Add32(d, helpID);
    return d;
}

void ExItem(QByteArray& d, uint32_t type, uint32_t state, uint32_t id, uint16_t flags, const QString* text,
            uint32_t helpID = 0)
{
    Add32(d, type);
    Add32(d, state);
    Add32(d, id);
    Add16(d, flags);
    if (text) AddText(d, *text);
    Pad4(d);
    if (flags & 0x01) Add32(d, helpID);
}

void ExItem(QByteArray& d, uint32_t type, uint32_t state, uint32_t id, uint16_t flags, const QString& text,
            uint32_t helpID = 0)
{
    ExItem(d, type, state, id, flags, &text, helpID);
}

QString ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

class MenuResource : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemMenu_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        koResourceItemMenu_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    // Reads menus as a module reader does, binds the symbols a compiler would, then finishes the load.
    void LoadModule(const std::vector<std::pair<uint16_t, QByteArray>>& menus,
                    const std::vector<std::pair<int, QByteArray>>& symbols = {})
    {
        Module.BeforeLoad();
        for (const auto& [name, bytes] : menus) {
            TBytesStream data(bytes);
            LoadResourceItem(&Module, Ord(RT_MENU), Ord(name), 0x0409, data, bytes.size());
        }
        for (TCustomResourceItem* item : *Module.Items())
            for (const auto& [id, symbol] : symbols) item->AssignChildItemIdentifier(id, symbol);
        Module.AfterLoad();
    }
    TMenuResourceItem* Menu(uint16_t name)
    {
        return qobject_cast<TMenuResourceItem*>(Module.Find(Ord(RT_MENU), Ord(name)));
    }
    TResourceModule Module;
};
} // namespace

TEST_F(MenuResource, StandardTemplateBecomesATreeAndSavesExtended)
{
    QByteArray std = StdHeader();
    StdPopup(std, 0x80, "File");
    StdItem(std, 0x01, 100, "Open"); // grayed
    StdItem(std, 0x80, 0, "");
    const auto menu = LoadMenu(std);

    EXPECT_FALSE(menu->Extended());
    ASSERT_EQ(menu->Items()->Count(), 1);
    TResourceMenuItem* file = menu->Items()->Items(0);
    EXPECT_EQ(file->Text(), "File");
    ASSERT_EQ(file->Items()->Count(), 2);
    TResourceMenuItem* open = file->Items()->Items(0);
    EXPECT_EQ(open->ID()->OrdinalValue(), 100);
    EXPECT_FALSE(open->Enabled());
    TResourceMenuItem* separator = file->Items()->Items(1);
    EXPECT_TRUE(separator->Separator());
    EXPECT_EQ(separator->Text(), "-");
    EXPECT_EQ(separator->State(), 0u);
    EXPECT_EQ(separator->MenuType(), 0x800u);

    QByteArray expected = ExHeader();
    ExItem(expected, 0, 0, 0, 0x81, "File", 0);
    ExItem(expected, 0, 0x01, 100, 0x00, "Open");
    ExItem(expected, 0x800, 0, 0, 0x80, nullptr);
    EXPECT_EQ(SaveMenu(menu.get()).toHex(' ').toStdString(), expected.toHex(' ').toStdString());

    const auto again = LoadMenu(SaveMenu(menu.get()));
    EXPECT_TRUE(again->Extended());
    EXPECT_EQ(DumpMenu(again.get()).toStdString(), DumpMenu(menu.get()).toStdString());
}

// An entry flagged as a separator reads "-" whatever its text and keeps its state, so that it reads
// the same from the extended template it is saved as.
TEST_F(MenuResource, FlaggedSeparatorsReadTheSameFromBothTemplates)
{
    QByteArray std = StdHeader();
    StdItem(std, 0x800 | 0x01, 0, "junk");
    StdItem(std, 0x800, 0, "");
    StdItem(std, 0x80, 0, "-"); // unflagged: the text makes it a separator
    const auto menu = LoadMenu(std);
    EXPECT_EQ(DumpMenu(menu.get()).toStdString(), "help=0\n"
                                                  "\"-\" id=0 help=0 type=800 state=1\n"
                                                  "\"-\" id=0 help=0 type=800 state=0\n"
                                                  "\"-\" id=0 help=0 type=800 state=0");
    EXPECT_EQ(DumpMenu(LoadMenu(SaveMenu(menu.get())).get()).toStdString(), DumpMenu(menu.get()).toStdString());
}

TEST_F(MenuResource, ExtendedTemplateKeepsWhatTheModelHolds)
{
    QByteArray ex = ExHeader(0x1234);
    ExItem(ex, 0, 0, 0, 0x01, "&Edit", 0x80650001);
    ExItem(ex, 0x800, 0x3, 0, 0, "ignored");                        // separator: text forced, state kept
    ExItem(ex, 0x4000 | 0x1, 0x1000 | 0x80, 0xFFFF, 0x01, "Sub", 7); // masks drop 0x1 and 0x80
    ExItem(ex, 0, 0, 5, 0, "-");                                    // reads "-" but is no separator
    ExItem(ex, 0, 0x8, 0x12345678, 0x80, "Cut\tCtrl+X");
    ExItem(ex, 0x20, 0, 9, 0x80, "Last");
    const auto menu = LoadMenu(ex);

    EXPECT_TRUE(menu->Extended());
    EXPECT_EQ(menu->HelpID(), 0x1234u);
    EXPECT_EQ(DumpMenu(menu.get()).toStdString(),
              "help=4660\n"
              "\"&Edit\" id=0 help=2154102785 type=0 state=0 {\n"
              "  \"-\" id=0 help=0 type=800 state=3\n"
              "  \"Sub\" id=65535 help=7 type=4000 state=1000 {\n"
              "    \"-\" id=5 help=0 type=0 state=0\n"
              "    \"Cut\tCtrl+X\" id=22136 help=0 type=0 state=8\n"
              "  }\n"
              "  \"Last\" id=9 help=0 type=20 state=0\n"
              "}");
    TResourceMenuItem* sub = menu->Items()->Items(0)->Items()->Items(1);
    EXPECT_EQ(sub->ID()->Value(), "-1");
    EXPECT_EQ(sub->Break(), mbNone);
    EXPECT_EQ(menu->Items()->Items(0)->Items()->Items(2)->Break(), mbBarBreak);

    // Saved: the dropped bits, the separator's text and the high word of the ID are gone; the entry
    // that reads "-" keeps its text.
    QByteArray expected = ExHeader(0x1234);
    ExItem(expected, 0, 0, 0, 0x81, "&Edit", 0x80650001);
    ExItem(expected, 0x800, 0x3, 0, 0, nullptr);
    ExItem(expected, 0x4000, 0x1000, 0x0000FFFF, 0x01, "Sub", 7);
    ExItem(expected, 0, 0, 5, 0x00, "-");
    ExItem(expected, 0, 0x8, 0x5678, 0x80, "Cut\tCtrl+X");
    ExItem(expected, 0x20, 0, 9, 0x80, "Last");
    const QByteArray saved = SaveMenu(menu.get());
    EXPECT_EQ(saved.toHex(' ').toStdString(), expected.toHex(' ').toStdString());
    EXPECT_EQ(DumpMenu(LoadMenu(saved).get()).toStdString(), DumpMenu(menu.get()).toStdString());
}

TEST_F(MenuResource, HeaderOffsetSkipsExtraBytes)
{
    QByteArray ex;
    Add16(ex, 1);
    Add16(ex, 8);
    Add32(ex, 3);
    Add32(ex, 0xDEADBEEF); // extra header bytes
    ExItem(ex, 0, 0, 1, 0x80, "One");
    const auto menu = LoadMenu(ex);
    EXPECT_EQ(DumpMenu(menu.get()).toStdString(), "help=3\n\"One\" id=1 help=0 type=0 state=0");
}

TEST_F(MenuResource, MalformedTemplatesRaise)
{
    QByteArray version2;
    Add16(version2, 2);
    Add16(version2, 0);
    QByteArray header2;
    Add16(header2, 0);
    Add16(header2, 2);
    QByteArray offset3;
    Add16(offset3, 1);
    Add16(offset3, 3);
    Add32(offset3, 0);
    QByteArray offsetPastEnd;
    Add16(offsetPastEnd, 1);
    Add16(offsetPastEnd, 40);
    Add32(offsetPastEnd, 0);
    QByteArray cutHeader;
    Add16(cutHeader, 1);
    Add16(cutHeader, 4);
    Add16(cutHeader, 0); // help ID cut in half
    // A string without end up to one byte before the end: the byte cannot start an entry.
    QByteArray oddByte = StdHeader();
    Add16(oddByte, 0);
    Add16(oddByte, 5);
    Add16(oddByte, 'A');
    oddByte.append('x');
    QByteArray cutID = StdHeader();
    Add16(cutID, 0); // a command without its ID
    QByteArray cutRecord = ExHeader();
    Add32(cutRecord, 0);
    Add32(cutRecord, 0); // 8 of the 14 bytes
    QByteArray cutHelpID = ExHeader();
    ExItem(cutHelpID, 0, 0, 0, 0x81, "Popup");
    cutHelpID.chop(2);
    // Popups inside popups far deeper than any menu.
    QByteArray deep = StdHeader();
    for (int i = 0; i < 2000; ++i) StdPopup(deep, 0x80, "p");

    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"version 2", version2},
        {"standard header size 2", header2},
        {"extended offset 3", offset3},
        {"offset past the data", offsetPastEnd},
        {"header cut", cutHeader},
        {"standard ID cut", cutID},
        {"odd byte after a string", oddByte},
        {"extended record cut", cutRecord},
        {"popup help ID cut", cutHelpID},
        {"nested too deep", deep},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMenuResourceItem menu(Ord(1));
        TBytesStream data(c.bytes);
        EXPECT_EQ(ErrorOf([&] { menu.LoadFromStream(data, c.bytes.size()); }), "Malformed menu resource");
    }
}

// The template ends where its size says, whatever strings or missing end marks say: bytes that follow
// (the next record of a file) are never read.
TEST_F(MenuResource, ReadingStopsAtTheEndOfTheData)
{
    QByteArray tail;
    StdItem(tail, 0x80, 77, "Tail");

    QByteArray openString = StdHeader();
    Add16(openString, 0);
    Add16(openString, 5);
    for (QChar c : QStringLiteral("Open")) Add16(openString, c.unicode()); // no terminator
    QByteArray noEnd = StdHeader();
    StdPopup(noEnd, 0, "File"); // neither the popup nor its entries are marked last
    StdItem(noEnd, 0, 1, "A");
    QByteArray exNoEnd = ExHeader();
    ExItem(exNoEnd, 0, 0, 0, 0x01, "Pop");
    ExItem(exNoEnd, 0, 0, 2, 0, "B");

    const struct {
        const char* name;
        QByteArray bytes;
        const char* dump;
    } cases[] = {
        {"string without end", openString, "help=0\n\"Open\" id=5 help=0 type=0 state=0"},
        {"no end marks", noEnd, "help=0\n\"File\" id=0 help=0 type=0 state=0 {\n  \"A\" id=1 help=0 type=0 state=0\n}"},
        {"extended, no end marks", exNoEnd,
         "help=0\n\"Pop\" id=0 help=0 type=0 state=0 {\n  \"B\" id=2 help=0 type=0 state=0\n}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray file = c.bytes + tail;
        TBytesStream data(file);
        TMenuResourceItem menu(Ord(1));
        menu.LoadFromStream(data, c.bytes.size());
        EXPECT_EQ(DumpMenu(&menu).toStdString(), c.dump);
        EXPECT_EQ(data.Position(), c.bytes.size());
    }
}

TEST_F(MenuResource, TextCaptionAndShortCut)
{
    QByteArray std = StdHeader();
    StdItem(std, 0x80, 1, QStringLiteral("Open") + QChar(8) + QStringLiteral("Ctrl+O"));
    const auto menu = LoadMenu(std);
    TResourceMenuItem* item = menu->Items()->Items(0);
    EXPECT_EQ(item->Text(), "Open\tCtrl+O");
    EXPECT_EQ(item->Caption(), "Open");
    EXPECT_EQ(item->ShortCut(), TShortCut(scCtrl | 'O'));

    item->SetCaption("Save");
    EXPECT_EQ(item->Text(), "Save\tCtrl+O");
    item->SetShortCut(TShortCut(scShift | 0x70)); // F1
    EXPECT_EQ(item->Text(), "Save\t" + ShortCutToText(TShortCut(scShift | 0x70)));
    EXPECT_EQ(item->ShortCut(), TShortCut(scShift | 0x70));
    item->SetShortCut(TShortCut());
    EXPECT_EQ(item->Text(), "Save");
    EXPECT_EQ(item->ShortCut(), TShortCut());
    item->SetText("Tab at the end\t");
    EXPECT_EQ(item->ShortCut(), TShortCut());
    EXPECT_EQ(item->Caption(), "Tab at the end");
    item->SetText(QStringLiteral("a") + QChar(8) + QStringLiteral("b") + QChar(8));
    EXPECT_EQ(item->Text(), QStringLiteral("a\tb") + QChar(8)) << "only the first backspace";
    item->SetText(QStringLiteral("x\ty") + QChar(8));
    EXPECT_EQ(item->Text(), QStringLiteral("x\ty") + QChar(8)) << "a text with its TAB keeps its backspaces";
    EXPECT_EQ(item->DisplayName(), "x (1)");
}

TEST_F(MenuResource, SeparatorsAndFlags)
{
    TMenuResourceItem menu(Ord(1));
    TResourceMenuItem* item = menu.Items()->Add();
    item->SetText("Item\tCtrl+A");
    item->SetState(0xFFFFFFFF);
    EXPECT_EQ(item->State(), 0x100Bu);
    EXPECT_FALSE(item->Enabled());
    EXPECT_TRUE(item->Checked());
    EXPECT_TRUE(item->Default());
    item->SetEnabled(true);
    item->SetChecked(false);
    EXPECT_EQ(item->State(), 0x1000u);
    item->SetDefault(false);
    item->SetEnabled(false);
    item->SetChecked(true);
    EXPECT_EQ(item->State(), 0x000Bu);

    item->SetMenuType(0xFFFFFFFF);
    EXPECT_EQ(item->MenuType(), 0x6B64u);
    EXPECT_EQ(item->Break(), mbBreak) << "the column break wins over the bar break";
    const struct {
        TMenuBreak value;
        uint32_t bits;
    } breaks[] = {{mbBarBreak, 0x20}, {mbBreak, 0x40}, {mbNone, 0}};
    for (const auto& b : breaks) {
        item->SetBreak(b.value);
        EXPECT_EQ(item->MenuType() & 0x60, b.bits);
        EXPECT_EQ(item->Break(), b.value);
    }

    item->SetSeparator(false);
    EXPECT_EQ(item->MenuType() & 0x800, 0u);
    EXPECT_EQ(item->Text(), "Item\tCtrl+A") << "turning the bit off keeps the text";
    item->SetCaption("-");
    EXPECT_TRUE(item->Separator());
    EXPECT_EQ(item->Text(), "-");
    EXPECT_EQ(item->State(), 0u);
    EXPECT_EQ(item->MenuType() & 0x800, 0x800u);

    TResourceMenuItem* other = menu.Items()->Add();
    other->SetState(0x8);
    other->SetText("-");
    EXPECT_TRUE(other->Separator());
    EXPECT_EQ(other->State(), 0u);
}

TEST_F(MenuResource, NewMenuHoldsOneItem)
{
    TMenuResourceItem menu(Ord(1));
    menu.InitializeNewItem();
    ASSERT_EQ(menu.Items()->Count(), 1);
    EXPECT_EQ(menu.Items()->Items(0)->Caption(), "New item");
    QByteArray expected = ExHeader();
    ExItem(expected, 0, 0, 0, 0x80, "New item");
    EXPECT_EQ(expected.size(), 40);
    EXPECT_EQ(SaveMenu(&menu).toHex(' ').toStdString(), expected.toHex(' ').toStdString());
    EXPECT_TRUE(menu.Extended());

    menu.SetHelpID(5);
    menu.Clear();
    EXPECT_EQ(menu.Items()->Count(), 0);
    EXPECT_EQ(menu.HelpID(), 0u);
}

TEST_F(MenuResource, PropertiesAndFilters)
{
    QByteArray std = StdHeader();
    StdPopup(std, 0x80, "File");
    StdItem(std, 0x80, 1, "Open");
    const auto standard = LoadMenu(std);
    TResourceMenuItem* popup = standard->Items()->Items(0);
    TResourceMenuItem* command = popup->Items()->Items(0);
    EXPECT_TRUE(standard->FilterProperty("HelpID"));
    EXPECT_TRUE(popup->FilterProperty("HelpID"));
    EXPECT_TRUE(popup->FilterProperty("ID"));
    EXPECT_TRUE(command->FilterProperty("HelpID"));
    EXPECT_FALSE(command->FilterProperty("ID"));
    EXPECT_FALSE(command->FilterProperty("Caption"));

    standard->SetExtended(true);
    EXPECT_FALSE(standard->FilterProperty("HelpID"));
    EXPECT_FALSE(popup->FilterProperty("HelpID"));
    EXPECT_FALSE(popup->FilterProperty("ID"));

    // The published face, as the inspector reads it.
    QStringList names;
    for (const QMetaProperty& p : PublishedProperties(command->metaObject())) names << p.name();
    EXPECT_EQ(names.join(' ').toStdString(), "ID HelpID Caption ShortCut MenuType State Enabled Default Checked Separator Break Items");
    const QMetaProperty breakProperty = FindPublishedProperty(command->metaObject(), "Break");
    command->SetBreak(mbBarBreak);
    EXPECT_EQ(PropertyValueToText(breakProperty, breakProperty.read(command)), "mbBarBreak");
    breakProperty.write(command, PropertyValueFromText(breakProperty, "mbBreak"));
    EXPECT_EQ(command->Break(), mbBreak);
    names.clear();
    for (const QMetaProperty& p : PublishedProperties(standard->metaObject())) names << p.name();
    EXPECT_TRUE(names.contains("Extended") && names.contains("Items") && names.contains("HelpID"));
}

TEST_F(MenuResource, KindAnswersForMenus)
{
    TResourceItemClass kind = ResourceItemDatabase()->Find(Ord(RT_MENU), Ord(1), nullptr);
    EXPECT_EQ(kind, TMenuResourceItem::ClassInfo());
    EXPECT_FALSE(TMenuResourceItem::Handles(Ord(RT_DIALOG), Ord(1), nullptr));
    EXPECT_FALSE(TMenuResourceItem::Handles(TResourceIdent("MENU"), Ord(1), nullptr));
    EXPECT_EQ(TMenuResourceItem::ResourceTypeName(), "Menu");
    EXPECT_EQ(TMenuResourceItem::Capabilities(), (TResourceItemCapabilities{rcWrite, rcCreate}));
}

// A change anywhere in the tree is one change of the menu; entries move between popups of a menu but
// never into themselves.
TEST_F(MenuResource, ChangesAndMoves)
{
    auto* menu = new TMenuResourceItem(Ord(1));
    Module.Items()->Add(menu);
    TResourceMenuItem* file = menu->Items()->Add();
    file->SetText("File");
    TResourceMenuItem* open = file->Items()->Add();
    open->SetText("Open");
    TResourceMenuItem* sub = file->Items()->Add();
    sub->SetText("Sub");
    TResourceMenuItem* deep = sub->Items()->Add();
    deep->SetText("Deep");
    TResourceMenuItem* edit = menu->Items()->Add();
    edit->SetText("Edit");

    struct TCounter : IResourceItemNotification {
        void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification n) override { Changed += n == rnChanged; }
        int Changed = 0;
    } counter;
    menu->Subscribe(&counter);
    deep->SetChecked(true);
    EXPECT_EQ(counter.Changed, 1);
    counter.Changed = 0;
    deep->SetCollection(edit->Items());
    EXPECT_EQ(counter.Changed, 1);
    EXPECT_EQ(deep->ParentItems(), edit->Items());
    EXPECT_EQ(sub->Items()->Count(), 0);
    EXPECT_FALSE(sub->HasSubItems());

    EXPECT_THROW(file->SetCollection(sub->Items()), EInvalidOperation);
    EXPECT_THROW(file->SetCollection(file->Items()), EInvalidOperation);
    EXPECT_EQ(file->ParentItems(), menu->Items());
    deep->SetCollection(menu->Items());
    EXPECT_EQ(menu->Items()->Count(), 3);
    EXPECT_EQ(menu->Items()->Items(2), deep);

    // Enumeration: every entry, sub-entries after their popup; a stop ends the walk.
    QStringList seen;
    auto collect = [&](TCustomResourceItem* item, QObject* element, void*, bool& Continue) {
        EXPECT_EQ(item, menu);
        auto* entry = qobject_cast<TResourceMenuItem*>(element);
        seen << (entry ? entry->Text() : QStringLiteral("menu"));
        Continue = seen.size() < 4;
    };
    EXPECT_FALSE(menu->EnumerateItems(nullptr, collect));
    EXPECT_EQ(seen.join(',').toStdString(), "menu,File,Open,Sub");
    seen.clear();
    auto all = [&](TCustomResourceItem*, QObject* element, void*, bool&) {
        auto* entry = qobject_cast<TResourceMenuItem*>(element);
        seen << (entry ? entry->Text() : QStringLiteral("menu"));
    };
    EXPECT_TRUE(menu->EnumerateItems(nullptr, all));
    EXPECT_EQ(seen.join(',').toStdString(), "menu,File,Open,Sub,Edit,Deep");
    menu->Unsubscribe(&counter);
}

TEST_F(MenuResource, SymbolsBindInTheWholeTree)
{
    QByteArray ex = ExHeader();
    ExItem(ex, 0, 0, 0, 0x01, "File");
    ExItem(ex, 0, 0, 0, 0x01, "Recent");
    ExItem(ex, 0, 0, 100, 0x80, "One");
    ExItem(ex, 0, 0, 100, 0x80, "Again");
    ExItem(ex, 0, 0, 0xFFFF, 0x80, "Minus one");
    TLogCapture log;
    LoadModule({{1, ex}}, {{100, "IDM_ONE"}, {-1, "IDM_MINUS"}, {555, "IDM_NONE"}});
    TMenuResourceItem* menu = Menu(1);
    ASSERT_NE(menu, nullptr);
    TResourceMenuItem* file = menu->Items()->Items(0);
    EXPECT_EQ(file->Items()->Items(0)->Items()->Items(0)->ID()->Identifier(), "IDM_ONE");
    EXPECT_EQ(file->Items()->Items(1)->ID()->Identifier(), "IDM_ONE");
    EXPECT_EQ(menu->Items()->Items(1)->ID()->Identifier(), "IDM_MINUS");
    EXPECT_EQ(file->ID()->Identifier(), "");
    EXPECT_TRUE(log.Messages().isEmpty()) << log.Messages().join('\n').toStdString();
}

// Help IDs are tied to their generated symbols at any depth, also when they were generated for the
// entry of the same ID in another menu; the rest are reported.
TEST_F(MenuResource, HelpIDsBindAfterLoad)
{
    QByteArray menu200 = ExHeader();
    ExItem(menu200, 0, 0, 0, 0x01, "Top", 0x80C80000); // generated for itself
    ExItem(menu200, 0, 0, 3, 0x80, "Leaf");
    ExItem(menu200, 0, 0, 0, 0x81, "Nested", 0);
    ExItem(menu200, 0, 0, 7, 0x81, "Generated", 0x80C80007); // nested, generated for itself
    ExItem(menu200, 0, 0, 8, 0x80, "Leaf");
    // Read first, so the help symbol is not there yet when its entries are bound.
    QByteArray menu199 = ExHeader();
    ExItem(menu199, 0, 0, 0, 0x01, "Outer", 0);
    ExItem(menu199, 0, 0, 7, 0x81, "Shared", 0x80C80007); // generated for menu 200's entry 7
    ExItem(menu199, 0, 0, 9, 0x80, "Leaf");
    ExItem(menu199, 0, 0, 0, 0x81, "Unknown", 0x00450012); // nothing generated it
    ExItem(menu199, 0, 0, 1, 0x80, "Leaf");

    TLogCapture log;
    LoadModule({{200, menu200}, {199, menu199}}, {{7, "IDM_SEVEN"}});
    TMenuResourceItem* first = Menu(200);
    TMenuResourceItem* second = Menu(199);
    ASSERT_TRUE(first && second);
    TResourceMenuItem* top = first->Items()->Items(0);
    TResourceMenuItem* generated = first->Items()->Items(1)->Items()->Items(0);
    TResourceMenuItem* shared = second->Items()->Items(0)->Items()->Items(0);
    TResourceMenuItem* unknown = second->Items()->Items(1);
    EXPECT_TRUE(top->HelpID()->Generate());
    EXPECT_TRUE(generated->HelpID()->Generate());
    EXPECT_TRUE(shared->HelpID()->Generate());
    ASSERT_NE(shared->HelpID()->Symbol(), nullptr);
    EXPECT_EQ(shared->HelpID()->Symbol(), generated->HelpID()->Symbol());
    EXPECT_EQ(shared->HelpID()->Symbol()->Symbol(), "HIDM_SEVEN");
    EXPECT_EQ(shared->HelpID()->OrdinalValue(), 0x80C80007u);
    EXPECT_FALSE(unknown->HelpID()->Generate());
    // hi = ((0x00450012 - 0x80000000) mod 2^32) shr 16 = 0x8045, lo = 0x12.
    ASSERT_EQ(log.Messages().size(), 1) << log.Messages().join('\n').toStdString();
    EXPECT_EQ(log.Messages()[0], "Failed to resolve help ID of dialog control 199.0 (199.0). HelpID: 0x00450012 (32837.18)");
    EXPECT_EQ(log.Items()[0], second);
}

// A menu whose data cannot be read is kept as raw data with every byte, and the error is logged.
TEST_F(MenuResource, UnreadableMenuIsKeptAsRawData)
{
    koResourceModuleRes_Initialize();
    QByteArray bad;
    Add16(bad, 7);
    Add16(bad, 0);
    Add32(bad, 0x01020304);
    QByteArray good = ExHeader();
    ExItem(good, 0, 0, 1, 0x80, "Fine");
    TMemoryStream res;
    auto record = [&](uint16_t name, const QByteArray& data) {
        const int64_t start = res.Position();
        res.WriteDWord(static_cast<uint32_t>(data.size()));
        res.WriteDWord(32);
        res.WriteWord(0xFFFF);
        res.WriteWord(RT_MENU);
        res.WriteWord(0xFFFF);
        res.WriteWord(name);
        res.WriteDWord(0);
        res.WriteWord(0x1030);
        res.WriteWord(0x0409);
        res.WriteDWord(0);
        res.WriteDWord(0);
        ASSERT_EQ(res.Position() - start, 32);
        res.WriteBytes(data);
        while (res.Position() % 4) res.WriteByte(0);
    };
    // The blank record every RES file starts with.
    res.WriteDWord(0);
    res.WriteDWord(32);
    res.WriteDWord(0x0000FFFF);
    res.WriteDWord(0x0000FFFF);
    res.WriteBytes(QByteArray(16, '\0'));
    record(1, bad);
    record(2, good);
    TLogCapture log;
    TBytesStream stream(res.ToByteArray());
    auto module = TResourceModuleReaderRes().LoadFromStream(stream);
    ASSERT_NE(module, nullptr);
    module->AfterLoad();
    TCustomResourceItem* raw = module->Find(Ord(RT_MENU), Ord(1));
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(qobject_cast<TMenuResourceItem*>(raw), nullptr);
    TMemoryStream saved;
    raw->SaveToStream(saved);
    EXPECT_EQ(saved.ToByteArray(), bad);
    EXPECT_NE(qobject_cast<TMenuResourceItem*>(module->Find(Ord(RT_MENU), Ord(2))), nullptr);
    EXPECT_TRUE(log.Messages().contains("Malformed menu resource")) << log.Messages().join('\n').toStdString();
    koResourceModuleRes_Finalize();
}

// The RC writer

namespace {
class MenuWriter : public MenuResource {
protected:
    void SetUp() override
    {
        MenuResource::SetUp();
        koResourceModuleRC_Initialize();
        koResourceModuleRCMenuWriter_Initialize();
    }
    void TearDown() override
    {
        koResourceModuleRCMenuWriter_Finalize();
        koResourceModuleRC_Finalize();
        MenuResource::TearDown();
    }
    QString Write(TMenuResourceItem* menu, bool symbolic = true)
    {
        TMemoryStream out;
        TRCAnsiEncoder encoder(out);
        TRCItemWriterClass writer = RCItemWriterDatabase()->Find(menu);
        EXPECT_EQ(writer, TRCItemMenuWriter::ClassInfo());
        auto instance = writer->Create(QString());
        instance->SetSymbolicValues(symbolic);
        instance->SaveToStream(encoder, menu, false);
        return QString::fromLatin1(out.ToByteArray());
    }
    TMenuResourceItem* NewMenu(const TResourceIdent& name)
    {
        auto* menu = new TMenuResourceItem(name);
        Module.Items()->Add(menu);
        return menu;
    }
};
} // namespace

TEST_F(MenuWriter, WritesTheStatementLineForLine)
{
    TMenuResourceItem* menu = NewMenu(TResourceIdent("IDR_MAIN"));
    menu->SetHelpID(99); // no place for it
    TResourceMenuItem* file = menu->Items()->Add();
    file->SetText("File");
    TResourceMenuItem* open = file->Items()->Add();
    open->SetText("Open");
    open->ID()->SetOrdinalValue(101);
    open->ID()->SetIdentifier("IDM_OPEN");
    file->Items()->Add()->SetSeparator(true);
    TResourceMenuItem* exit = file->Items()->Add();
    exit->SetText("Exit");
    exit->ID()->SetOrdinalValue(102);
    exit->SetEnabled(false);
    const QString expected = QStringLiteral("IDR_MAIN MENUEX\r\n"
                                            "BEGIN\r\n"
                                            "  POPUP \"File\"\r\n"
                                            "  BEGIN\r\n"
                                            "    MENUITEM \"Open\", IDM_OPEN\r\n"
                                            "    MENUITEM \"-\", 0, 0x00000800L\r\n"
                                            "    MENUITEM \"Exit\", 102, 0x00000000L, 0x00000003L\r\n"
                                            "  END\r\n"
                                            "END\r\n"
                                            "\r\n");
    EXPECT_EQ(Write(menu).toStdString(), expected.toStdString());
    EXPECT_EQ(Write(menu, false).toStdString(), expected.toStdString()) << "types and states are always numbers";
}

TEST_F(MenuWriter, WhatEachLineCarries)
{
    TMenuResourceItem* menu = NewMenu(Ord(7));
    auto line = [&](const std::function<void(TResourceMenuItem*)>& build) {
        menu->Items()->Clear();
        build(menu->Items()->Add());
        const QStringList lines = Write(menu).split(QStringLiteral("\r\n"));
        return lines.size() > 2 ? lines[2].trimmed() : QString();
    };
    auto withChild = [](TResourceMenuItem* item) { item->Items()->Add()->SetText("child"); };
    const struct {
        const char* name;
        std::function<void(TResourceMenuItem*)> build;
        const char* expected;
    } cases[] = {
        {"text alone", [](TResourceMenuItem* i) { i->SetText("Plain"); }, "MENUITEM \"Plain\""},
        {"state alone", [](TResourceMenuItem* i) { i->SetText("C"); i->SetChecked(true); },
         "MENUITEM \"C\", 0, 0x00000000L, 0x00000008L"},
        {"ID -1", [](TResourceMenuItem* i) { i->SetText("M"); i->ID()->SetOrdinalValue(0xFFFF); }, "MENUITEM \"M\", -1"},
        {"escaped text", [](TResourceMenuItem* i) { i->SetText("Say \"hi\"\tCtrl+H"); },
         "MENUITEM \"Say \"\"hi\"\"\\tCtrl+H\""},
        {"popup alone", [&](TResourceMenuItem* i) { i->SetText("P"); withChild(i); }, "POPUP \"P\""},
        {"popup with help ID only",
         [&](TResourceMenuItem* i) { i->SetText("P"); i->HelpID()->SetOrdinalValue(0x80070001); withChild(i); },
         "POPUP \"P\", 0, 0x00000000L, 0x00000000L, 2147942401"},
        {"popup with ID and type", [&](TResourceMenuItem* i) { i->SetText("P"); i->ID()->SetOrdinalValue(5); i->SetBreak(mbBreak); withChild(i); },
         "POPUP \"P\", 5, 0x00000040L"},
        {"empty popup is an item", [](TResourceMenuItem* i) { i->SetText("E"); i->Items(); }, "MENUITEM \"E\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(line(c.build).toStdString(), c.expected);
    }
}

TEST_F(MenuWriter, TakesMenusOnly)
{
    TMenuResourceItem* menu = NewMenu(Ord(1));
    EXPECT_TRUE(TRCItemMenuWriter::Handles(menu));
    auto* raw = new TResourceItemGeneric(Ord(2));
    raw->SetResourceType(Ord(RT_MENU));
    Module.Items()->Add(raw);
    EXPECT_FALSE(TRCItemMenuWriter::Handles(raw)) << "raw menus go out as raw data";
}
