#include "koAtelierFrameDock.h"

#include "koAtelierFrame.h"
#include "koConfigurationService.h"
#include "koDockForm.h"
#include "koSplash.h"
#include "model/VersionInfo.h"
#include "platform/UpdateGuard.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>

// Dock layout

QColor PaneColor() { return QApplication::palette().color(QPalette::Base); }

void TFrameAtelier::SetDockHost(QMainWindow* Value)
{
    if (Value == FDockHost) return;
    ATELIER_ASSERT(FDockHost == nullptr);
    FDockHost = Value;
    FDockedLayout = true;
    MakeDockSite(Value);
    for (TWorkspacePane* pane : {FPanelResources, FPanelVariants, FPanelFrames, FPanelPreview, FPanelEditor})
        pane->SetHeaderVisible(false);
    // The editor stays in the middle: the host's central place takes no other pane.
    FDockFormEdit = DockControl(Value, FPanelEditor, alClient);
    FDockFormResources = DockControl(Value, FPanelResources, alLeft);
    FDockFormVariants = DockControl(Value, FPanelVariants, alLeft);
    FDockFormFrames = DockControl(Value, FPanelFrames, alLeft);
    Value->splitDockWidget(FDockFormVariants, FDockFormFrames, Qt::Vertical);
    FDockFormView = DockControl(Value, FPanelPreview, alRight);
    SetDockBorderIcons(FDockFormView, {biSystemMenu});
    FDockForms = {FDockFormResources, FDockFormVariants, FDockFormFrames, FDockFormView, FDockFormEdit};
    for (TDockForm* form : FDockForms)
        connect(form, &TDockForm::Hidden, this, [this, form] {
            if (OnPaneHidden) OnPaneHidden(form->Client());
        });
    delete FSplitters;
    FSplitters = nullptr;
    FDockFormFrames->hide();
    // The sizes the panes come back to when the layout is realigned.
    FDockFormResources->SetUndockWidth(200);
    FDockFormResources->SetUndockHeight(400);
    FDockFormVariants->SetUndockWidth(130);
    FDockFormVariants->SetUndockHeight(300);
    FDockFormFrames->SetUndockHeight(200);
    FDockFormView->SetUndockWidth(280);
    ApplyUndockSizes();
}

void TFrameAtelier::SetFramesPaneVisible(bool Visible)
{
    // Docked, the pane's dock form comes and goes; the pane itself stays shown inside it.
    if (!FDockFormFrames) {
        FPanelFrames->setVisible(Visible);
        return;
    }
    if (FDockFormFrames->isVisibleTo(FDockHost) == Visible) return;
    FDockFormFrames->setVisible(Visible);
    if (Visible) RealignDockLayout();
}

void TFrameAtelier::ApplyUndockSizes()
{
    QList<QDockWidget*> forms;
    QList<int> widths, heights;
    for (TDockForm* form : FDockForms)
        if (form != FDockFormEdit && form->isVisibleTo(FDockHost)) {
            forms << form;
            widths << std::max(form->UndockWidth(), 50);
            heights << std::max(form->UndockHeight(), 50);
        }
    FDockHost->resizeDocks(forms, widths, Qt::Horizontal);
    FDockHost->resizeDocks(forms, heights, Qt::Vertical);
}

TDockForm* TFrameAtelier::DockPane(QWidget* Pane, Qt::DockWidgetArea Area, QWidget* Below)
{
    ATELIER_ASSERT(FDockHost != nullptr);
    if (auto* pane = qobject_cast<TWorkspacePane*>(Pane)) pane->SetHeaderVisible(false);
    const TAlign side = Area == Qt::LeftDockWidgetArea    ? alLeft
                        : Area == Qt::RightDockWidgetArea ? alRight
                        : Area == Qt::TopDockWidgetArea   ? alTop
                                                          : alBottom;
    TDockForm* form = DockControl(FDockHost, Pane, side);
    SetDockBorderIcons(form, {biSystemMenu});
    form->SetUndockWidth(std::max(Pane->minimumWidth(), 180));
    form->SetUndockHeight(std::max(Pane->minimumHeight(), 150));
    if (TDockForm* above = Below ? DockFormOf(Below) : nullptr) FDockHost->splitDockWidget(above, form, Qt::Vertical);
    FDockForms.push_back(form);
    connect(form, &TDockForm::Hidden, this, [this, form] {
        if (OnPaneHidden) OnPaneHidden(form->Client());
    });
    return form;
}

TDockForm* TFrameAtelier::DockFormOf(QWidget* Pane) const
{
    for (TDockForm* form : FDockForms)
        if (form->Client() == Pane) return form;
    return nullptr;
}

void TFrameAtelier::SetPaneVisible(QWidget* Pane, bool Visible)
{
    if (TDockForm* form = DockFormOf(Pane)) {
        if (form->isVisibleTo(FDockHost) == Visible) return;
        form->setVisible(Visible);
        // A window not yet shown hears no hide event of its panes.
        if (!Visible && !FDockHost->isVisible() && OnPaneHidden) OnPaneHidden(Pane);
        RealignDockLayout();
    } else {
        Pane->setVisible(Visible);
    }
}

bool TFrameAtelier::PaneVisible(QWidget* Pane) const
{
    if (TDockForm* form = DockFormOf(Pane)) return form->isVisibleTo(FDockHost);
    return Pane->isVisibleTo(const_cast<TFrameAtelier*>(this));
}

QByteArray TFrameAtelier::SaveDockLayout()
{
    ATELIER_ASSERT(FDockHost != nullptr);
    std::vector<TDockForm*> hidden;
    for (TDockForm* form : FDockForms)
        if (!form->isVisibleTo(FDockHost)) {
            hidden.push_back(form);
            form->show();
        }
    const QByteArray layout = FDockHost->saveState();
    for (TDockForm* form : hidden) form->hide();
    return layout;
}

void TFrameAtelier::LoadDockLayout(const QByteArray& Layout)
{
    ATELIER_ASSERT(FDockHost != nullptr);
    if (!FDockFormResources->isVisibleTo(FDockHost)) {
        FDockFormResources->show();
        LogMessage(QStringLiteral("The current layout is invalid"), rmError);
    }
    std::vector<TDockForm*> hidden;
    for (TDockForm* form : FDockForms)
        if (!form->isVisibleTo(FDockHost)) {
            hidden.push_back(form);
            form->show();
        }
    bool restored;
    {
        FDockHost->setUpdatesEnabled(false);
        TFinally resume([this] { FDockHost->setUpdatesEnabled(true); });
        restored = FDockHost->restoreState(Layout);
        ResetDockZoneLimits(FDockHost);
    }
    for (TDockForm* form : hidden) form->hide();
    if (!restored) throw EReadError(QStringLiteral("Invalid dock layout"));
    if (!FDockFormResources->isVisibleTo(FDockHost)) {
        FDockFormResources->show();
        LogMessage(QStringLiteral("The saved layout was invalid"), rmWarning);
    }
}

void TFrameAtelier::RealignDockLayout()
{
    QPointer<QMainWindow> host(FDockHost);
    QMetaObject::invokeMethod(
        this, [host] { if (host) ResetDockZoneLimits(host); }, Qt::QueuedConnection);
}

void TFrameAtelier::RestoreDefaultLayout()
{
    // Until the window is shown the layout is the docking itself with the panes' sizes.
    if (FDefaultLayout.isEmpty()) {
        ApplyUndockSizes();
        return;
    }
    LoadDockLayout(FDefaultLayout);
    RealignDockLayout();
}

void TFrameAtelier::RestoreCompactLayout()
{
    if (FDefaultLayout.isEmpty()) FDefaultLayout = SaveDockLayout();
    if (FCompactLayout.isEmpty()) {
        // The default arrangement with narrow side panes and a low messages row, for small screens.
        const QByteArray current = SaveDockLayout();
        LoadDockLayout(FDefaultLayout);
        std::vector<QDockWidget*> columns;
        for (TDockForm* form : {FDockFormResources, FDockFormVariants, FDockFormView})
            columns.push_back(form);
        FDockHost->resizeDocks({columns.begin(), columns.end()}, {150, 110, 180}, Qt::Horizontal);
        FCompactLayout = SaveDockLayout();
        LoadDockLayout(current);
    }
    LoadDockLayout(FCompactLayout);
    RealignDockLayout();
}

void TFrameAtelier::Initialize()
{
    // The default layout is taken once the host has its size.
    if (FDockHost && FDefaultLayout.isEmpty()) {
        ApplyUndockSizes();
        FDefaultLayout = SaveDockLayout();
    }
    if (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) return;
    if (!FSettings) FSettings = std::make_unique<TAtelierSettings>(this);
    ConfigurationService()->LoadSettings(QStringLiteral("Forms\\Main"), FSettings.get());
}

void TFrameAtelier::Finalize()
{
    ClearWorkspace();
    if (!FDockHost) return;
    if (!FSettings) FSettings = std::make_unique<TAtelierSettings>(this);
    ConfigurationService()->SaveSettings(QStringLiteral("Forms\\Main"), FSettings.get());
}

bool TAtelierSettings::ApplySettings()
{
    if (!FValid) return false;
    if (!FLayout.isEmpty() && FOwner->DockHost()) FOwner->LoadDockLayout(QByteArray::fromHex(FLayout.toLatin1()));
    FOwner->RealignDockLayout();
    return true;
}

bool TAtelierSettings::UpdateSettings()
{
    FValid = true;
    if (FOwner->DockHost()) FLayout = QString::fromLatin1(FOwner->DockHost()->saveState().toHex().toUpper());
    return true;
}

void TFrameAtelier::About()
{
    // The splash window frees itself when it is dismissed.
    auto* splash = new TFormSplash(nullptr);
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->SetVersion(TVersionInfo::VersionToString(ProgramVersionInfo().FileVersion()));
    if (FindProgramResource(QStringLiteral("SPLASH"), QStringLiteral("DISCO")))
        splash->PlayThatFunkyMusicWhiteBoy(QStringLiteral("SPLASH"), QStringLiteral("DISCO"));
    splash->Execute(false, QStringLiteral("SPLASH"), QStringLiteral("PNG"));
    if (FindProgramResource(QStringLiteral("CREDITS"), QStringLiteral("TEXT")))
        splash->DisplayBannerResource(QStringLiteral("CREDITS"), QStringLiteral("TEXT"));
}
