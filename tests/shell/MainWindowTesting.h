// What tests of the real main window share: prompts answered from a script (so no test blocks in a
// dialog), the units the window needs, and RES files to open.
#pragma once

#include "../model/TestKinds.h"
#include "editors/koAtelierBinary.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "shell/koAtelier.h"
#include "shell/koConfigurationService.h"
#include "shell/main.h"
#include "views/koResourceViewGeneric.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStringList>
#include <deque>

class TScriptedPrompts : public IMainFormPrompts {
public:
    TAnswer Confirm(QWidget*, const QString& text) override
    {
        Asked << text;
        if (Answers.empty()) return paCancel;
        const TAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    bool Warning(QWidget*, const QString& text, bool) override
    {
        Asked << text;
        return false;
    }
    void Information(QWidget*, const QString& text) override { Told << text; }
    void Error(QWidget*, const QString& caption, const QString& text) override { Errors << caption + ": " + text; }
    bool ExecuteOpen(QWidget*, TOpenDialogState& state) override
    {
        LastOpen = state;
        if (OpenName.isEmpty() && OpenNames.isEmpty()) return false;
        state.FileNames = OpenNames.isEmpty() ? QStringList{OpenName} : OpenNames;
        state.FileName = state.FileNames.first();
        return true;
    }
    bool ExecuteSaveFile(QWidget*, TOpenDialogState& state) override
    {
        LastSaveFile = state;
        if (SaveFileName.isEmpty()) return false;
        state.FileName = SaveFileName;
        return true;
    }
    bool ExecuteSave(QWidget*, TSaveModuleDialog& dialog) override
    {
        SaveFilter = dialog.Filter();
        SaveProposedName = dialog.FileName();
        SaveEncodings = dialog.Encodings();
        if (SaveName.isEmpty()) return false;
        dialog.SetFileName(SaveName);
        if (SaveFilterIndex > 0) dialog.SetFilterIndex(SaveFilterIndex);
        return true;
    }

    std::deque<TAnswer> Answers;
    QStringList Asked, Told, Errors;
    TOpenDialogState LastOpen;
    QString OpenName;
    QStringList OpenNames; // a multiple selection, when given
    TOpenDialogState LastSaveFile;
    QString SaveFileName;
    QString SaveName;
    int SaveFilterIndex = 0;
    QString SaveFilter, SaveProposedName;
    QStringList SaveEncodings;
};

// Lets every queued call, zero timer and deferred deletion run, as the event loop would.
inline void Settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// The units the window needs, with settings that go nowhere; finalized in reverse order.
class TMainWindowUnits {
public:
    TMainWindowUnits()
    {
        koResourcesKinds_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModulePE_Initialize();
        koResourceViewGeneric_Initialize();
        koAtelierBinary_Initialize();
        FPreviousConfiguration = SetConfigurationServiceFactory(TDummyConfigurationServiceFactory::ClassInfo());
    }
    ~TMainWindowUnits()
    {
        koAtelier_Finalize();
        SetConfigurationServiceFactory(FPreviousConfiguration);
        koAtelierBinary_Finalize();
        koResourceViewGeneric_Finalize();
        koResourceModulePE_Finalize();
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    TMainWindowUnits(const TMainWindowUnits&) = delete;
    TMainWindowUnits& operator=(const TMainWindowUnits&) = delete;

private:
    TConfigurationServiceFactoryClass FPreviousConfiguration = nullptr;
};

// A RES file of count RCDATA resources 1..count holding "payload <n>".
inline void WritePayloadRes(const QString& path, int count)
{
    auto module = std::make_unique<TResourceModule>();
    for (int i = 1; i <= count; ++i) {
        auto item = std::make_unique<TResourceItemGeneric>(Ord(i));
        item->SetResourceType(TResourceIdent::FromOrdinal(RT_RCDATA));
        TMemoryStream data;
        data.WriteBytes(QByteArray("payload ") + QByteArray::number(i));
        data.SetPosition(0);
        item->LoadFromStream(data, data.Size());
        module->Items()->Add(item.release());
    }
    module->SaveToFile(path);
}
