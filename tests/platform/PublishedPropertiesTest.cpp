#include "platform/Exceptions.h"
#include "platform/PublishedProperties.h"

#include <QMetaProperty>
#include <QObject>
#include <gtest/gtest.h>

namespace published_test {

class TSample : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(TLanguageID Language READ Language WRITE SetLanguage)
    Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)
    Q_PROPERTY(TSides Sides READ Sides WRITE SetSides)
    Q_CLASSINFO("default:Count", "3")
    Q_CLASSINFO("default:Caption", "Untitled")
    Q_CLASSINFO("default:Enabled", "True")
    Q_CLASSINFO("default:Language", "1033")
    Q_CLASSINFO("default:Align", "alLeft")
    Q_CLASSINFO("default:Sides", "sdTop|sdLeft")

public:
    enum TAlign { alNone, alLeft, alRight };
    Q_ENUM(TAlign)
    enum TSide { sdTop = 1, sdBottom = 2, sdLeft = 4, sdRight = 8 };
    Q_DECLARE_FLAGS(TSides, TSide)
    Q_FLAG(TSides)

    int Count() const { return FCount; }
    void SetCount(int value) { FCount = value; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value) { FCaption = value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    TLanguageID Language() const { return FLanguage; }
    void SetLanguage(TLanguageID value) { FLanguage = value; }
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign value) { FAlign = value; }
    TSides Sides() const { return FSides; }
    void SetSides(TSides value) { FSides = value; }

private:
    int FCount = 3;
    QString FCaption = QStringLiteral("Untitled");
    bool FEnabled = true;
    TLanguageID FLanguage = 1033;
    TAlign FAlign = alLeft;
    TSides FSides = TSides(sdTop) | sdLeft;
};

class TSampleChild : public TSample {
    Q_OBJECT
    Q_PROPERTY(int Extra READ Extra WRITE SetExtra)
    Q_PROPERTY(QString Note READ Note WRITE SetNote)
    Q_CLASSINFO("default:Extra", "-1")
    // A descendant may change an inherited default.
    Q_CLASSINFO("default:Caption", "Child")

public:
    TSampleChild() { SetCaption(QStringLiteral("Child")); }
    int Extra() const { return FExtra; }
    void SetExtra(int value) { FExtra = value; }
    QString Note() const { return FNote; }
    void SetNote(const QString& value) { FNote = value; }

private:
    int FExtra = -1;
    QString FNote;
};

class TBadDefault : public QObject {
    Q_OBJECT
    Q_PROPERTY(TLanguageID Language READ Language WRITE SetLanguage)
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_CLASSINFO("default:Language", "70000")
    Q_CLASSINFO("default:Count", "three")

public:
    TLanguageID Language() const { return {}; }
    void SetLanguage(TLanguageID) {}
    int Count() const { return 0; }
    void SetCount(int) {}
};

} // namespace published_test

Q_DECLARE_OPERATORS_FOR_FLAGS(published_test::TSample::TSides)

namespace {

using published_test::TBadDefault;
using published_test::TSample;
using published_test::TSampleChild;

class Published : public testing::Test {
protected:
    static void SetUpTestSuite() { PublishedProperties_Initialize(); }

    static QMetaProperty Property(const QMetaObject& mo, const char* name)
    {
        const QMetaProperty p = FindPublishedProperty(&mo, name);
        EXPECT_TRUE(p.isValid()) << name;
        return p;
    }
};

QStringList Names(const QList<QMetaProperty>& properties)
{
    QStringList result;
    for (const QMetaProperty& p : properties) result.append(QString::fromLatin1(p.name()));
    return result;
}

TEST_F(Published, ListsOnlyOurPropertiesBaseFirst)
{
    const QStringList base = {"Count", "Caption", "Enabled", "Language", "Align", "Sides"};
    EXPECT_EQ(Names(PublishedProperties(&TSample::staticMetaObject)), base);
    const QStringList derived = base + QStringList{"Extra", "Note"};
    EXPECT_EQ(Names(PublishedProperties(&TSampleChild::staticMetaObject)), derived);
    EXPECT_TRUE(PublishedProperties(&QObject::staticMetaObject).isEmpty());
}

TEST_F(Published, FindPublishedProperty)
{
    const struct {
        const QMetaObject* Class;
        const char* Name;
        bool Found;
    } cases[] = {
        {&TSample::staticMetaObject, "Count", true},
        {&TSample::staticMetaObject, "Sides", true},
        {&TSampleChild::staticMetaObject, "Count", true},
        {&TSampleChild::staticMetaObject, "Note", true},
        {&TSample::staticMetaObject, "Note", false},
        {&TSample::staticMetaObject, "objectName", false},
        {&TSampleChild::staticMetaObject, "objectName", false},
        {&TSample::staticMetaObject, "count", false},
        {&TSample::staticMetaObject, "", false},
    };
    for (const auto& c : cases) {
        const QMetaProperty p = FindPublishedProperty(c.Class, c.Name);
        EXPECT_EQ(p.isValid(), c.Found) << c.Class->className() << "." << c.Name;
        if (c.Found) {
            EXPECT_STREQ(p.name(), c.Name);
        }
    }
}

TEST_F(Published, TextRoundTripsThroughTheObject)
{
    const struct {
        const char* Property;
        const char* Text;
    } cases[] = {
        {"Count", "0"},
        {"Count", "-17"},
        {"Count", "2147483647"},
        {"Count", "-2147483648"},
        {"Caption", ""},
        {"Caption", "Ünïcödé ✓ a|b"},
        {"Enabled", "false"},
        {"Enabled", "true"},
        {"Language", "0"},
        {"Language", "1049"},
        {"Language", "65535"},
        {"Align", "alNone"},
        {"Align", "alRight"},
        {"Sides", ""},
        {"Sides", "sdBottom"},
        {"Sides", "sdTop|sdLeft"},
        {"Sides", "sdTop|sdBottom|sdLeft|sdRight"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Property << " = " << c.Text);
        const QString text = QString::fromUtf8(c.Text);
        const QMetaProperty p = Property(TSample::staticMetaObject, c.Property);
        TSample object;
        const QVariant value = PropertyValueFromText(p, text);
        EXPECT_EQ(PropertyValueToText(p, value), text);
        ASSERT_TRUE(p.write(&object, value)) << "the value must be writable to the property";
        EXPECT_EQ(PropertyValueToText(p, p.read(&object)), text);
    }
}

TEST_F(Published, TextFormsOfValuesReadFromTheObject)
{
    TSample object;
    object.SetCount(42);
    object.SetEnabled(false);
    object.SetLanguage(0x0419);
    object.SetAlign(TSample::alRight);
    object.SetSides(TSample::TSides(TSample::sdRight) | TSample::sdBottom);
    const struct {
        const char* Property;
        const char* Text;
    } cases[] = {
        {"Count", "42"}, {"Enabled", "false"}, {"Language", "1049"}, {"Align", "alRight"}, {"Sides", "sdBottom|sdRight"},
    };
    for (const auto& c : cases) {
        const QMetaProperty p = Property(TSample::staticMetaObject, c.Property);
        EXPECT_EQ(PropertyValueToText(p, p.read(&object)), QString::fromUtf8(c.Text)) << c.Property;
    }
}

TEST_F(Published, ForgivingTextForms)
{
    const struct {
        const char* Property;
        const char* Text;
        const char* Canonical;
    } cases[] = {
        {"Enabled", "TRUE", "true"},
        {"Enabled", "False", "false"},
        {"Language", "$0409", "1033"},
        {"Sides", "sdLeft|sdTop", "sdTop|sdLeft"},
    };
    for (const auto& c : cases) {
        const QMetaProperty p = Property(TSample::staticMetaObject, c.Property);
        EXPECT_EQ(PropertyValueToText(p, PropertyValueFromText(p, QString::fromUtf8(c.Text))),
                  QString::fromUtf8(c.Canonical))
            << c.Property << " = " << c.Text;
    }
}

TEST_F(Published, BadTextRaises)
{
    const struct {
        const char* Property;
        const char* Text;
    } cases[] = {
        {"Count", ""},
        {"Count", "abc"},
        {"Count", "12x"},
        {"Count", "2147483648"},
        {"Count", "-2147483649"},
        {"Count", "4294967297"},
        {"Enabled", "maybe"},
        {"Enabled", ""},
        {"Language", "-1"},
        {"Language", "65536"},
        {"Language", "English"},
        {"Align", "alMiddle"},
        {"Align", ""},
        {"Align", "1"},
        {"Sides", "sdTop|sdNowhere"},
        {"Sides", "alLeft"},
    };
    for (const auto& c : cases) {
        const QMetaProperty p = Property(TSample::staticMetaObject, c.Property);
        EXPECT_THROW(PropertyValueFromText(p, QString::fromUtf8(c.Text)), EConvertError)
            << c.Property << " = '" << c.Text << "'";
    }
}

TEST_F(Published, DeclaredDefaults)
{
    const struct {
        const QMetaObject* Class;
        const char* Property;
        const char* Default; // nullptr: none declared
    } cases[] = {
        {&TSample::staticMetaObject, "Count", "3"},
        {&TSample::staticMetaObject, "Caption", "Untitled"},
        {&TSample::staticMetaObject, "Enabled", "true"},
        {&TSample::staticMetaObject, "Language", "1033"},
        {&TSample::staticMetaObject, "Align", "alLeft"},
        {&TSample::staticMetaObject, "Sides", "sdTop|sdLeft"},
        {&TSampleChild::staticMetaObject, "Count", "3"},
        {&TSampleChild::staticMetaObject, "Caption", "Child"},
        {&TSampleChild::staticMetaObject, "Extra", "-1"},
        {&TSampleChild::staticMetaObject, "Note", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Class->className() << "." << c.Property);
        const QMetaProperty p = Property(*c.Class, c.Property);
        const QVariant def = PropertyDefault(c.Class, p);
        if (!c.Default) {
            EXPECT_FALSE(def.isValid());
            continue;
        }
        ASSERT_TRUE(def.isValid());
        EXPECT_EQ(PropertyValueToText(p, def), QString::fromUtf8(c.Default));
    }
}

TEST_F(Published, IsDefaultFollowsTheValue)
{
    TSampleChild object;
    for (const QMetaProperty& p : PublishedProperties(&TSampleChild::staticMetaObject))
        EXPECT_EQ(PropertyIsDefault(&object, p), QByteArray(p.name()) != "Note")
            << p.name() << ": a fresh object holds the declared defaults; a property without one never is";

    const auto property = [](const char* name) { return Property(TSampleChild::staticMetaObject, name); };
    object.SetCaption(QStringLiteral("Untitled"));
    EXPECT_FALSE(PropertyIsDefault(&object, property("Caption"))) << "the descendant's default applies";
    object.SetCaption(QStringLiteral("Child"));
    EXPECT_TRUE(PropertyIsDefault(&object, property("Caption")));

    object.SetSides(TSample::sdTop);
    EXPECT_FALSE(PropertyIsDefault(&object, property("Sides")));
    object.SetSides(TSample::TSides(TSample::sdLeft) | TSample::sdTop);
    EXPECT_TRUE(PropertyIsDefault(&object, property("Sides")));

    object.SetLanguage(1049);
    EXPECT_FALSE(PropertyIsDefault(&object, property("Language")));
    object.SetEnabled(false);
    EXPECT_FALSE(PropertyIsDefault(&object, property("Enabled")));
    object.SetAlign(TSample::alNone);
    EXPECT_FALSE(PropertyIsDefault(&object, property("Align")));
    object.SetCount(0);
    EXPECT_FALSE(PropertyIsDefault(&object, property("Count")));
    object.SetNote(QString());
    EXPECT_FALSE(PropertyIsDefault(&object, property("Note")));
}

TEST_F(Published, InvalidDeclaredDefaultRaises)
{
    TBadDefault object;
    for (const char* name : {"Language", "Count"}) {
        const QMetaProperty p = Property(TBadDefault::staticMetaObject, name);
        EXPECT_THROW(PropertyDefault(&TBadDefault::staticMetaObject, p), EConvertError) << name;
        EXPECT_THROW(PropertyIsDefault(&object, p), EConvertError) << name;
    }
}

struct TTestUnit {
    int Value = 0;
};

TEST_F(Published, RegisteredTypes)
{
    EXPECT_NE(FindPropertyType(QMetaType::fromType<TLanguageID>()), nullptr);
    EXPECT_EQ(FindPropertyType(QMetaType::fromType<int>()), nullptr);
    EXPECT_EQ(FindPropertyType(QMetaType::fromType<TTestUnit>()), nullptr);

    const auto make = [](const char* name) {
        return TPropertyType{QString::fromLatin1(name), [](const QVariant&) { return QString(); },
                             [](const QString&) { return QVariant(); }};
    };
    RegisterPropertyType(QMetaType::fromType<TTestUnit>(), make("first"));
    RegisterPropertyType(QMetaType::fromType<TTestUnit>(), make("second"));
    const TPropertyType* type = FindPropertyType(QMetaType::fromType<TTestUnit>());
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->Name, "second");
}

} // namespace

#include "PublishedPropertiesTest.moc"
