#include "koAtelierFrameDock.h"

#include "koAtelierFrame.h"
#include "koConfigurationService.h"
#include "koDockForm.h"
#include "koSplash.h"
#include "model/VersionInfo.h"
#include "platform/UpdateGuard.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
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
    TDockForm* above = Below ? DockFormOf(Below) : nullptr;
    if (above) FDockHost->splitDockWidget(above, form, Qt::Vertical);
    FDockForms.push_back(form);
    FDockedPanes.push_back({form, Area, above});
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
        // The sizes the layout gives the panes become the ones realigning keeps.
        if (restored && FDockHost->isVisible()) {
            if (QLayout* layout = FDockHost->layout()) layout->activate();
            for (TDockForm* form : FDockForms)
                if (form != FDockFormEdit && form->isVisibleTo(FDockHost)) {
                    form->SetUndockWidth(form->width());
                    form->SetUndockHeight(form->height());
                }
        }
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

namespace {
// The size a pane gets in a layout: its width in a column, its height in a stack.
struct TPaneSize {
    int Width;
    int Height;
};
} // namespace

void TFrameAtelier::ArrangeLayout(bool Compact)
{
    ATELIER_ASSERT(FDockHost != nullptr);
    // Panes whose content decides whether they show keep their visibility.
    std::vector<std::pair<TDockForm*, bool>> kept;
    kept.emplace_back(FDockFormFrames, FFrameButtons.Count() > 0);
    for (const TDockedPane& pane : FDockedPanes)
        if (pane.Area == Qt::BottomDockWidgetArea) kept.emplace_back(pane.Form, pane.Form->isVisibleTo(FDockHost));
    FDockHost->setUpdatesEnabled(false);
    TFinally resume([this] { FDockHost->setUpdatesEnabled(true); });

    // Every pane comes home, wherever it was dragged to, in the order the layout builds its columns.
    const auto place = [this](TDockForm* form, Qt::Edge side, TDockForm* beside, TPaneSize size) {
        TDockDropTarget target;
        target.Site = FDockHost;
        target.Pane = beside;
        target.Side = side;
        target.DockRect = QRect(0, 0, size.Width, size.Height);
        form->DockTo(target);
        form->SetUndockWidth(size.Width);
        form->SetUndockHeight(size.Height);
    };
    if (!Compact) {
        // The tree, then the variants, each a column on the left; the preview on the right.
        place(FDockFormResources, Qt::LeftEdge, nullptr, {200, 400});
        place(FDockFormVariants, Qt::LeftEdge, nullptr, {130, 300});
        place(FDockFormFrames, Qt::BottomEdge, FDockFormVariants, {130, 200});
        place(FDockFormView, Qt::RightEdge, nullptr, {280, 300});
    } else {
        // One narrow column each side: tree over variants over frames, preview over the side panes.
        place(FDockFormResources, Qt::LeftEdge, nullptr, {170, 260});
        place(FDockFormVariants, Qt::BottomEdge, FDockFormResources, {170, 200});
        place(FDockFormFrames, Qt::BottomEdge, FDockFormVariants, {170, 140});
        place(FDockFormView, Qt::RightEdge, nullptr, {200, 260});
    }
    for (const TDockedPane& pane : FDockedPanes) {
        const bool bottom = pane.Area == Qt::BottomDockWidgetArea;
        const TPaneSize size = bottom ? TPaneSize{400, Compact ? 100 : 150}
                                      : TPaneSize{Compact ? 200 : std::max(pane.Form->Client()->minimumWidth(), 180),
                                                  std::max(pane.Form->Client()->minimumHeight(), 150)};
        if (pane.Below) {
            // Compact stacks the panes that sat under the tree under the preview instead.
            TDockForm* anchor = Compact && pane.Below == FDockFormResources ? FDockFormView : pane.Below;
            place(pane.Form, Qt::BottomEdge, anchor, size);
        } else {
            const Qt::Edge edge = pane.Area == Qt::LeftDockWidgetArea    ? Qt::LeftEdge
                                  : pane.Area == Qt::RightDockWidgetArea ? Qt::RightEdge
                                  : pane.Area == Qt::TopDockWidgetArea   ? Qt::TopEdge
                                                                         : Qt::BottomEdge;
            place(pane.Form, edge, nullptr, size);
        }
    }
    FDockFormEdit->show();
    for (const auto& [form, visible] : kept) form->setVisible(visible);
    ApplyUndockSizes();
    RealignDockLayout();
}

void TFrameAtelier::RestoreDefaultLayout() { ArrangeLayout(false); }

void TFrameAtelier::RestoreCompactLayout() { ArrangeLayout(true); }

void TFrameAtelier::Initialize()
{
    // The panes get their sizes once the host has its own.
    if (FDockHost) ApplyUndockSizes();
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
