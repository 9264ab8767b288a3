// The inspector's choice of a property editor, as a table of declared properties and the editor each
// gets; and the registration entry of host editors.
#include "EditorTesting.h"

#include "designer/koDesignInterface.h"
#include "designer/koDesignPropertyEditors.h"
#include "model/koResourcesItemItems.h"
#include "platform/Bitmap.h"
#include "platform/Graphics.h"
#include "platform/StringList.h"
#include "platform/ShortCuts.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace EditorChoiceTypes {
Q_NAMESPACE
enum TAlign { alNone, alTop, alBottom };
Q_ENUM_NS(TAlign)
enum TAnchor { akLeft = 1, akTop = 2, akRight = 4 };
Q_DECLARE_FLAGS(TAnchors, TAnchor)
Q_FLAG_NS(TAnchors)
} // namespace EditorChoiceTypes
using namespace EditorChoiceTypes;

// One property of every kind the choice tells apart.
class TChoiceFixture : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width MEMBER FWidth)
    Q_PROPERTY(int ImageIndex MEMBER FImageIndex)
    Q_PROPERTY(QChar Letter MEMBER FLetter)
    Q_PROPERTY(EditorChoiceTypes::TAlign Align MEMBER FAlign)
    Q_PROPERTY(bool Visible MEMBER FVisible)
    Q_PROPERTY(double Ratio MEMBER FRatio)
    Q_PROPERTY(QString Text MEMBER FText)
    Q_PROPERTY(EditorChoiceTypes::TAnchors Anchors MEMBER FAnchors)
    Q_PROPERTY(TColor Color MEMBER FColor)
    Q_PROPERTY(TCursorValue Cursor MEMBER FCursor)
    Q_PROPERTY(TFontCharset Charset MEMBER FCharset)
    Q_PROPERTY(TModalResult ModalResult MEMBER FModalResult)
    Q_PROPERTY(TShortCut ShortCut MEMBER FShortCut)
    Q_PROPERTY(TDate Day MEMBER FDay)
    Q_PROPERTY(TTime Clock MEMBER FClock)
    Q_PROPERTY(TDateTime Stamp MEMBER FStamp)
    Q_PROPERTY(TFontName FontName READ FontName WRITE SetFontName)
    Q_PROPERTY(TCaption Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(DesignTypes::TPenStyle PenStyle MEMBER FPenStyle)
    Q_PROPERTY(DesignTypes::TBrushStyle BrushStyle MEMBER FBrushStyle)
    Q_PROPERTY(qint64 Big MEMBER FBig)
    Q_PROPERTY(QWidget* Buddy MEMBER FBuddy)
    Q_PROPERTY(QVariant Data MEMBER FData)
    Q_PROPERTY(TBitmap* Bitmap READ Bitmap)
    Q_PROPERTY(TGraphic* Graphic READ Graphic)
    Q_PROPERTY(TStringList* Lines READ Lines)
    Q_PROPERTY(TCustomResourceItemItems* Elements READ Elements)

public:
    TFontName FontName() const { return FFontName; }
    void SetFontName(const TFontName& Value) { FFontName = Value; }
    TCaption Caption() const { return FCaption; }
    void SetCaption(const TCaption& Value) { FCaption = Value; }
    TBitmap* Bitmap() { return &FBitmap; }
    TGraphic* Graphic() { return &FBitmap; }
    TStringList* Lines() { return &FLines; }
    TCustomResourceItemItems* Elements() { return nullptr; }
    TBitmap FBitmap;
    TStringList FLines;

    int FWidth = 0, FImageIndex = 0;
    QChar FLetter;
    TAlign FAlign = alNone;
    bool FVisible = true;
    double FRatio = 0;
    QString FText;
    TAnchors FAnchors;
    TColor FColor;
    TCursorValue FCursor;
    TFontCharset FCharset;
    TModalResult FModalResult;
    TShortCut FShortCut;
    TDate FDay;
    TTime FClock;
    TDateTime FStamp;
    TFontName FFontName;
    TCaption FCaption;
    TPenStyle FPenStyle = DesignTypes::psSolid;
    TBrushStyle FBrushStyle = DesignTypes::bsSolid;
    qint64 FBig = 0;
    QWidget* FBuddy = nullptr;
    QVariant FData;
};

// "ImageIndex" compares case-sensitively.
class TLowerImageIndexFixture : public QObject {
    Q_OBJECT
    Q_PROPERTY(int imageindex MEMBER FIndex)
public:
    int FIndex = 0;
};

// Classes the choice recognises by name.
class TAction : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ImageIndex MEMBER FIndex)
public:
    int FIndex = 0;
};
class TMenuItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ImageIndex MEMBER FIndex)
public:
    int FIndex = 0;
};

namespace {

struct ChoiceCase {
    QObject* Instance;
    const char* Property;
    TRunTimePropertyEditorClass Expected;
};

} // namespace

TEST(EditorChoice, EachPropertyGetsItsEditor)
{
    koDesignRTTI_Initialize();
    TChoiceFixture fixture;
    TLowerImageIndexFixture lower;
    TAction action;
    TMenuItem menuItem;
    const ChoiceCase cases[] = {
        {&fixture, "Width", TRunTimeIntegerPropertyEditor::ClassInfo()},
        {&fixture, "ImageIndex", TRunTimeImageIndexPropertyEditor::ClassInfo()},
        {&lower, "imageindex", TRunTimeIntegerPropertyEditor::ClassInfo()},
        {&action, "ImageIndex", TRunTimeActionImageIndexPropertyEditor::ClassInfo()},
        {&menuItem, "ImageIndex", TRunTimeMenuImageIndexPropertyEditor::ClassInfo()},
        {&fixture, "Letter", TKCharPropertyEditor::ClassInfo()},
        {&fixture, "Align", TRunTimeEnumPropertyEditor::ClassInfo()},
        {&fixture, "Visible", TRunTimeEnumPropertyEditor::ClassInfo()},
        {&fixture, "Ratio", TRunTimeFloatPropertyEditor::ClassInfo()},
        {&fixture, "Text", TRunTimeStringPropertyEditor::ClassInfo()},
        {&fixture, "Anchors", TRunTimeSetPropertyEditor::ClassInfo()},
        {&fixture, "Anchors.akTop", TRunTimeSetElementPropertyEditor::ClassInfo()},
        {&fixture, "Color", TRunTimeColorPropertyEditor::ClassInfo()},
        {&fixture, "Cursor", TRunTimeCursorPropertyEditor::ClassInfo()},
        {&fixture, "Charset", TRunTimeFontCharsetPropertyEditor::ClassInfo()},
        {&fixture, "ModalResult", TRunTimeModalResultPropertyEditor::ClassInfo()},
        {&fixture, "ShortCut", TRunTimeShortCutPropertyEditor::ClassInfo()},
        {&fixture, "Day", TRunTimeDatePropertyEditor::ClassInfo()},
        {&fixture, "Clock", TRunTimeTimePropertyEditor::ClassInfo()},
        {&fixture, "Stamp", TRunTimeDateTimePropertyEditor::ClassInfo()},
        {&fixture, "FontName", TRunTimeFontNamePropertyEditor::ClassInfo()},
        {&fixture, "Caption", TRunTimeCaptionPropertyEditor::ClassInfo()},
        {&fixture, "PenStyle", TRunTimePenStylePropertyEditor::ClassInfo()},
        {&fixture, "BrushStyle", TRunTimeBrushStylePropertyEditor::ClassInfo()},
        {&fixture, "Big", nullptr},  // Int64: no editor unless the host gives one
        {&fixture, "Data", nullptr}, // variants: none either
        {&fixture, "Buddy", TRunTimeComponentPropertyEditor::ClassInfo()},
        {&fixture, "Bitmap", TRunTimeGraphicPropertyEditor::ClassInfo()},
        {&fixture, "Graphic", TRunTimeGraphicPropertyEditor::ClassInfo()},
        {&fixture, "Lines", TRunTimeStringsPropertyEditor::ClassInfo()},
        {&fixture, "Elements", TRunTimeCollectionPropertyEditor::ClassInfo()},
    };
    for (const ChoiceCase& c : cases) {
        auto list = PropertiesOf(c.Instance);
        TRunTimeProperty* property = list->PropertyByName(QString::fromLatin1(c.Property));
        ASSERT_NE(property, nullptr) << c.Property;
        const TRunTimePropertyEditorClass chosen = DefaultPropertyEditorClass(property);
        EXPECT_EQ(chosen, c.Expected) << c.Property << ": got "
                                      << (chosen ? chosen->ClassName().toStdString() : std::string("none"));
    }
    EXPECT_EQ(DefaultPropertyEditorClass(nullptr), nullptr);
}

TEST(EditorChoice, EditorClassesKnowTheirNamesAndAncestors)
{
    const TRunTimePropertyEditorClass date = TRunTimeDatePropertyEditor::ClassInfo();
    EXPECT_EQ(date->ClassName(), QStringLiteral("TRunTimeDatePropertyEditor"));
    EXPECT_TRUE(date->InheritsFrom(TRunTimeFloatPropertyEditor::ClassInfo()));
    EXPECT_TRUE(date->InheritsFrom(TRunTimePropertyEditor::ClassInfo()));
    EXPECT_FALSE(TRunTimeFloatPropertyEditor::ClassInfo()->InheritsFrom(date));
    TTestInspector inspector;
    auto editor = TRunTimeMenuImageIndexPropertyEditor::ClassInfo()->Create(&inspector, 2);
    EXPECT_EQ(editor->ClassType(), TRunTimeMenuImageIndexPropertyEditor::ClassInfo());
    EXPECT_EQ(editor->PropCount(), 2);
}

TEST(EditorChoice, RegistrationIsCheckedThenHandedToTheHook)
{
    struct Case {
        bool Type, Component;
        const char* Name;
        bool Editor;
        const char* Refusal; // nullptr: accepted
    } cases[] = {
        {false, true, "", true, "PropertyType can not be nil"},
        {false, false, "X", false, "PropertyType can not be nil"},
        {true, true, "", false, "EditorClass can not be nil"},
        {true, false, "Caption", true, "ComponentClass must be specified if PropertyName is used"},
        {true, false, "", true, nullptr},
        {true, true, "Caption", true, nullptr},
    };
    int handed = 0;
    RegisterPropertyEditorProc() = [&](PTypeInfo, PTypeInfo, const QString&, TRunTimePropertyEditorClass) { ++handed; };
    const PTypeInfo type = TypeInfo<TColor>();
    const PTypeInfo component = ClassTypeInfo(&QWidget::staticMetaObject);
    int accepted = 0;
    for (const Case& c : cases) {
        try {
            RegisterPropertyEditor(c.Type ? type : nullptr, c.Component ? component : nullptr,
                                   QString::fromLatin1(c.Name),
                                   c.Editor ? TRunTimeColorPropertyEditor::ClassInfo() : nullptr);
            EXPECT_EQ(c.Refusal, nullptr);
            ++accepted;
        } catch (const Exception& e) {
            ASSERT_NE(c.Refusal, nullptr) << e.Message().toStdString();
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid property editor registration. ") + QString::fromLatin1(c.Refusal));
        }
    }
    EXPECT_EQ(handed, accepted);
    // Without a hook a registration does nothing.
    RegisterPropertyEditorProc() = nullptr;
    RegisterPropertyEditor(type, nullptr, QString(), TRunTimeColorPropertyEditor::ClassInfo());
    EXPECT_EQ(handed, accepted);
}

#include "EditorChoiceTest.moc"
