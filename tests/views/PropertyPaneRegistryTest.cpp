// Which editor the pane's registry chooses: a table of registrations and the editor each case gets,
// and the resource editors on the properties of real items.
#include "designer/koDesignInterface.h"
#include "designer/koDesignPropertyEditors.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemDialog.h"
#include "model/koResourcesIdentifier.h"
#include "model/koResourcesItem.h"
#include "views/AtelierAcceleratorPropertyEditors.h"
#include "views/AtelierDialogPropertyEditors.h"
#include "views/AtelierImagePropertyEditors.h"
#include "views/AtelierPropertyEditors.h"

#include <QObject>
#include <gtest/gtest.h>

namespace {

class TSampleChildBase : public QObject {
    Q_OBJECT
};
class TSampleChild : public TSampleChildBase {
    Q_OBJECT
};
class TSampleOther : public QObject {
    Q_OBJECT
};

class TSampleBase : public QObject, public IPropertyMap {
    Q_OBJECT
    Q_PROPERTY(int Number READ Number WRITE SetNumber)
    Q_PROPERTY(uint RawStyle READ Number2 WRITE SetNumber2)
    Q_PROPERTY(TSampleChild* Child READ Child WRITE SetChild)

public:
    int Number() const { return 0; }
    void SetNumber(int) {}
    uint Number2() const { return 0; }
    void SetNumber2(uint) {}
    TSampleChild* Child() const { return nullptr; }
    void SetChild(TSampleChild*) {}
    // The inspector shows RawStyle as "Style".
    QString MapPropertyName(const QString& Name) override { return Name == "RawStyle" ? QStringLiteral("Style") : Name; }
};
class TSampleDerived : public TSampleBase {
    Q_OBJECT
};

#define SAMPLE_EDITOR(Name)                                                                      \
    class Name : public TRunTimePropertyEditor {                                                 \
        RUNTIME_PROPERTY_EDITOR_CLASS(Name, TRunTimePropertyEditor)                              \
    };
SAMPLE_EDITOR(TEditorA)
SAMPLE_EDITOR(TEditorB)
SAMPLE_EDITOR(TEditorDefault)

PPropInfo PropOf(const QMetaObject* Meta, const char* Name)
{
    for (PPropInfo info : PropInfosOf(Meta))
        if (info->Name == QLatin1String(Name)) return info;
    return nullptr;
}

struct TRegistration {
    PTypeInfo Type;
    PTypeInfo Class;
    const char* Name;
    TRunTimePropertyEditorClass Editor;
};

// Saves the registry and empties it for one case; the registrations are put back afterwards.
class PropertyPaneRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSaved = PropertyEditorRegistrations();
        FPreviousProc = RegisterPropertyEditorProc();
        RegisterPropertyEditorProc() = DoRegisterPropertyEditor;
    }
    void TearDown() override
    {
        PropertyEditorRegistrations() = FSaved;
        RegisterPropertyEditorProc() = FPreviousProc;
    }
    std::vector<TPropertyClassRec> FSaved;
    TRegisterPropertyEditorProc FPreviousProc;
};

TEST_F(PropertyPaneRegistry, TableOfRegistrationsAndTheChosenEditor)
{
    const PTypeInfo integer = TypeInfo<int>();
    const PTypeInfo cardinal = TypeInfo<uint>();
    const PTypeInfo child = ClassTypeInfo(&TSampleChild::staticMetaObject);
    const PTypeInfo childBase = ClassTypeInfo(&TSampleChildBase::staticMetaObject);
    const PTypeInfo base = ClassTypeInfo(&TSampleBase::staticMetaObject);
    const PTypeInfo derived = ClassTypeInfo(&TSampleDerived::staticMetaObject);
    const PTypeInfo other = ClassTypeInfo(&TSampleOther::staticMetaObject);
    const auto A = TEditorA::ClassInfo();
    const auto B = TEditorB::ClassInfo();
    const auto D = TEditorDefault::ClassInfo();
    struct TCase {
        const char* What;
        std::vector<TRegistration> Registrations; // in registration order
        const char* Property;
        TRunTimePropertyEditorClass Default;
        TRunTimePropertyEditorClass Expected;
    };
    const TCase cases[] = {
        {"same registration twice: the later", {{integer, base, "Number", A}, {integer, base, "Number", B}}, "Number", D, B},
        {"base class type serves a derived type", {{childBase, nullptr, "", A}}, "Child", D, A},
        {"exact type beats its base, registered after", {{childBase, nullptr, "", A}, {child, nullptr, "", B}}, "Child", D, B},
        {"exact type beats its base, registered before", {{child, nullptr, "", B}, {childBase, nullptr, "", A}}, "Child", D, B},
        {"component class beats none, registered after", {{integer, nullptr, "", A}, {integer, base, "", B}}, "Number", D, B},
        {"component class beats none, registered before", {{integer, base, "", B}, {integer, nullptr, "", A}}, "Number", D, B},
        {"name beats none, registered after", {{integer, base, "", A}, {integer, base, "Number", B}}, "Number", D, B},
        {"name beats none, registered before", {{integer, base, "Number", B}, {integer, base, "", A}}, "Number", D, B},
        {"named on the base beats unnamed on the derived class", {{integer, base, "Number", A}, {integer, derived, "", B}}, "Number", D, A},
        {"derived component class beats its base", {{integer, derived, "", B}, {integer, base, "", A}}, "Number", D, B},
        {"derived component class beats its base, swapped", {{integer, base, "", A}, {integer, derived, "", B}}, "Number", D, B},
        {"name compared with the mapped caption, any case", {{cardinal, base, "style", A}}, "RawStyle", D, A},
        {"the property's own name no longer matches", {{cardinal, base, "RawStyle", A}}, "RawStyle", D, D},
        {"another component class does not match", {{integer, other, "", A}}, "Number", D, D},
        {"another type does not match", {{cardinal, nullptr, "", A}}, "Number", D, D},
        {"no registration, no default: the type kind's", {}, "Number", nullptr, TRunTimeIntegerPropertyEditor::ClassInfo()},
    };
    TSampleDerived instance;
    for (const TCase& c : cases) {
        PropertyEditorRegistrations().clear();
        for (const TRegistration& r : c.Registrations)
            RegisterPropertyEditor(r.Type, r.Class, QString::fromLatin1(r.Name), r.Editor);
        const TRunTimePropertyEditorClass chosen =
            FindPropertyEditorClass(PropOf(&TSampleDerived::staticMetaObject, c.Property), &instance, c.Default);
        EXPECT_EQ(chosen, c.Expected) << c.What << ": got " << (chosen ? chosen->ClassName().toStdString() : "nothing");
    }
}

TEST_F(PropertyPaneRegistry, MappersComeFirstAndNoPropertyKeepsTheDefault)
{
    TSampleDerived instance;
    RegisterPropertyEditor(TypeInfo<int>(), nullptr, {}, TEditorA::ClassInfo());
    EXPECT_EQ(FindPropertyEditorClass(nullptr, &instance, TEditorDefault::ClassInfo()), TEditorDefault::ClassInfo());
    DoRegisterPropertyMapper([](QObject*, PPropInfo info) -> TRunTimePropertyEditorClass {
        return info->Name == "Number" ? TEditorB::ClassInfo() : nullptr;
    });
    EXPECT_EQ(FindPropertyEditorClass(PropOf(&TSampleDerived::staticMetaObject, "Number"), &instance, nullptr),
              TEditorB::ClassInfo());
}

TEST_F(PropertyPaneRegistry, ResourceEditorsServeTheirProperties)
{
    PropertyEditorRegistrations().clear();
    RegisterResourcePropertyEditors();
    TDialogResourceItem dialog(TResourceIdent::FromOrdinal(1));
    TDialogResourceItemControl* control = dialog.Items()->Add();
    TBitmapResourceItem bitmap(TResourceIdent::FromOrdinal(2));
    TAcceleratorResourceItem accelerators(TResourceIdent::FromOrdinal(3));
    TAcceleratorItem* entry = accelerators.Accelerators()->Add();
    struct TCase {
        QObject* Instance;
        const char* Property;
        TRunTimePropertyEditorClass Expected;
    };
    const TCase cases[] = {
        {&dialog, "Language", TResourceItemLanguageProperty::ClassInfo()},
        {&dialog, "ID", TResourceIdentifierProperty::ClassInfo()},
        {&dialog, "Menu", TResourceMenuProperty::ClassInfo()},
        {&dialog, "Style", THexDWordValueProperty::ClassInfo()},
        {&dialog, "ExStyle", THexDWordValueProperty::ClassInfo()},
        {&dialog, "HelpID", TEditorDefault::ClassInfo()},
        {control, "Style", THexDWordValueProperty::ClassInfo()},
        {control, "ID", TResourceIdentifierProperty::ClassInfo()},
        {dialog.ID(), "Identifier", TResourceIdentifierSymbolProperty::ClassInfo()},
        {dialog.ID(), "Value", TEditorDefault::ClassInfo()},
        {&bitmap, "ColorDepth", TResourceItemColorDepthProperty::ClassInfo()},
        {&bitmap, "Width", TResourceItemImageSizeProperty::ClassInfo()},
        {&bitmap, "Height", TResourceItemImageSizeProperty::ClassInfo()},
        {&bitmap, "Size", TEditorDefault::ClassInfo()},
        {entry, "Shortcut", TResourceItemAcceleratorProperty::ClassInfo()},
    };
    for (const TCase& c : cases) {
        PPropInfo info = PropOf(c.Instance->metaObject(), c.Property);
        ASSERT_TRUE(info) << c.Property;
        const TRunTimePropertyEditorClass chosen = FindPropertyEditorClass(info, c.Instance, TEditorDefault::ClassInfo());
        EXPECT_EQ(chosen, c.Expected) << c.Instance->metaObject()->className() << "." << c.Property << ": got "
                                      << chosen->ClassName().toStdString();
    }
}

} // namespace

#include "PropertyPaneRegistryTest.moc"
