// Answers the main window's questions from a script and remembers what it was told, so tests of the
// window never block in a dialog.
#pragma once

#include "shell/main.h"

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
        if (OpenName.isEmpty()) return false;
        state.FileName = OpenName;
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
