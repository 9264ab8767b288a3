// Class-level questions without an instance. Every registrable family (item kinds, module filers,
// views, editors...) has an abstract class-info type deriving from TClassInfo with its questions as
// virtual methods; a template of the family adapts a concrete class's static functions to it, and
// registries hold pointers to these objects, one per class, alive for the whole run.
#pragma once

#include <QString>

class TClassInfo {
public:
    virtual ~TClassInfo() = default;
    virtual QString ClassName() const = 0;
    // The class-info of the base class within the family; nullptr at the family's root.
    virtual const TClassInfo* ClassParent() const = 0;

    // True for the class itself and for every class derived from other.
    bool InheritsFrom(const TClassInfo* other) const
    {
        for (const TClassInfo* c = this; c; c = c->ClassParent())
            if (c == other) return true;
        return false;
    }
};

// Declares the family plumbing of a class: `inherited` names the base, StaticClassName its name.
#define ATELIER_CLASS_NAME(Class)                                                                 \
public:                                                                                           \
    static const char* StaticClassName() { return #Class; }                                       \
                                                                                                  \
private:

// The family-independent answers of a class-info adapter: the class's name (its StaticClassName, else
// its meta-object's name) and its base within the family (the class's `inherited`, if it declares one).
template <class T, class TFamilyInfo>
class TClassInfoOf : public TFamilyInfo {
public:
    QString ClassName() const override
    {
        if constexpr (requires { T::StaticClassName(); })
            return QString::fromLatin1(T::StaticClassName());
        else
            return QString::fromLatin1(T::staticMetaObject.className());
    }
    const TClassInfo* ClassParent() const override
    {
        if constexpr (requires { typename T::inherited; })
            return T::inherited::ClassInfo();
        else
            return nullptr;
    }
};
