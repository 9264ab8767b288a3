// What the property editor tests share: an inspector that records what editors ask of it, the
// inspector's property list (properties refined as the object inspector refines them), and dialogs
// that answer from a script.
#pragma once

#include "designer/koDesignDialogs.h"
#include "designer/koDesignObjectInspectorEditor.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

// The object inspector as editors see it: instances, and a count of the changes reported.
class TTestInspector : public IRunTimeObjectInspector {
public:
    QWidget* InspectorWidget() override { return &FWidget; }
    QObject* Instance() const override { return FInstances.isEmpty() ? nullptr : FInstances.first().data(); }
    void SetInstance(QObject* Value) override
    {
        FInstances.clear();
        if (Value)
            FInstances.append(Value);
        ++InstanceChanges;
    }
    bool HasInstance(QObject* AInstance) const override
    {
        for (const QPointer<QObject>& i : FInstances)
            if (i == AInstance)
                return AInstance != nullptr;
        return false;
    }
    void RemoveInstance(QObject* AInstance) override
    {
        for (qsizetype i = FInstances.size() - 1; i >= 0; --i)
            if (FInstances[i] == AInstance)
                FInstances.removeAt(i);
        Removed.append(AInstance);
    }
    TRunTimeCustomFormDesigner* Designer() const override { return nullptr; }
    void Modified() override { ++ModifiedCount; }
    void GetComponentNames(QStringList& Values) override { Values << ComponentNames; }
    bool DisplayFontSamples() const override { return FontSamples; }
    void GetMethodSourceCode(QObject* AInstance, TRunTimeMethodProperty* AProperty, const QString& MethodName) override
    {
        SourceAsked.append(MethodName);
        (void)AInstance;
        (void)AProperty;
    }

    void AddInstance(QObject* Value) { FInstances.append(Value); }

    int ModifiedCount = 0;
    int InstanceChanges = 0;
    QStringList ComponentNames;
    bool FontSamples = false;
    QStringList SourceAsked;
    QList<QObject*> Removed;

private:
    QWidget FWidget;
    QList<QPointer<QObject>> FInstances;
};

// The object inspector's property classes (TColor, TDate, Boolean ... refined).
class TTestPropertyList : public TRunTimePropertyList {
public:
    using TRunTimePropertyList::TRunTimePropertyList;
    TRunTimePropertyClass GetPropertyClass(PPropInfo PropInfo) override { return RefinedPropertyClass(PropInfo); }
    std::unique_ptr<TRunTimePropertyList> NewList(TRunTimeProperty* AOwner) override
    {
        return std::make_unique<TTestPropertyList>(AOwner);
    }
};

inline std::unique_ptr<TTestPropertyList> PropertiesOf(QObject* Instance)
{
    auto list = std::make_unique<TTestPropertyList>();
    list->SetInstance(Instance);
    return list;
}

// An editor of the default class for the named property of each list, as the inspector makes one.
inline std::shared_ptr<TRunTimePropertyEditor> EditorFor(IRunTimeObjectInspector& Inspector, const QString& Name,
                                                         std::initializer_list<TRunTimePropertyList*> Lists)
{
    TRunTimeProperty* first = (*Lists.begin())->PropertyByName(Name);
    TRunTimePropertyEditorClass editorClass = DefaultPropertyEditorClass(first);
    if (!editorClass)
        return nullptr;
    auto editor = editorClass->Create(&Inspector, int(Lists.size()));
    int i = 0;
    for (TRunTimePropertyList* list : Lists)
        editor->SetPropEntry(i++, list->PropertyByName(Name));
    return editor;
}

// Dialogs that answer from the test: each callback gets what the dialog would start with.
class TScriptedDialogs : public IRunTimeDesignDialogs {
public:
    std::function<bool(TColor&)> OnColor;
    std::function<bool(QFont&)> OnFont;
    std::function<bool(const QString& Filter, const QString& DefaultExt, QString& FileName)> OnOpenPicture;
    // Drives a modal form that has been shown (not exec'd) and answers with its result.
    std::function<void(QDialog&)> OnModal;

    bool ExecuteColor(QWidget*, TColor& Color) override { return OnColor && OnColor(Color); }
    bool ExecuteFont(QWidget*, QFont& Font) override { return OnFont && OnFont(Font); }
    bool ExecuteOpenPicture(QWidget*, const QString& Filter, const QString& DefaultExt, QString& FileName) override
    {
        return OnOpenPicture && OnOpenPicture(Filter, DefaultExt, FileName);
    }
    int ExecuteModal(QDialog& Form) override
    {
        Form.setResult(QDialog::Rejected);
        Form.show();
        if (OnModal)
            OnModal(Form);
        Form.hide();
        return Form.result();
    }
};

// Installs scripted dialogs for a test's scope.
class TScriptedDialogsScope {
public:
    TScriptedDialogsScope() : FDialogs(new TScriptedDialogs) { FPrevious = SetDesignDialogs(std::unique_ptr<IRunTimeDesignDialogs>(FDialogs)); }
    ~TScriptedDialogsScope() { SetDesignDialogs(std::move(FPrevious)); }
    TScriptedDialogs* operator->() { return FDialogs; }

private:
    TScriptedDialogs* FDialogs;
    std::unique_ptr<IRunTimeDesignDialogs> FPrevious;
};
