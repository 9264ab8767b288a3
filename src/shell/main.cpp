#include "main.h"

#include "AtelierSearch.h"
#include "koAtelierFrame.h"
#include "koAtelierFrameCommands.h"
#include "koDockForm.h"
#include "koDropFiles.h"
#include "koDocking.h"
#include "koResourceView.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/BinaryReader.h"
#include "platform/CodePages.h"
#include "platform/Format.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"
#include "views/AtelierFrameObjectInspector.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <csignal>

namespace {
const char* const SCaptionEmpty = "Atelier by Lorn Kestovar";
const char* const SCaptionChanged = "%s - Atelier - Changed";
const char* const SCaptionClean = "%s - Atelier";
const char* const SNewFile = "New file";
const char* const SSaveChanges = "The current resource file has been modified.\rDo you wish to save the changes now?";
const char* const SOpenRecentHint = "Open \"%s\"";
const char* const SNoOptionsDialog = "Failed to display option dialog (because I haven't implemented that feature yet)";
const char* const SViewHiddenLater = "The setting will take effect the next time a resource file is loaded";
const char* const SApplicationError = "Application Error";
const char* const SSymbolListFile = "symbols.txt";
const int RecentLimit = 16;
// Milliseconds between two progress updates of the status bar.
const int ProgressInterval = 250;

QString Str(const char* Text) { return QString::fromUtf8(Text); }

// The text a message box shows: a carriage return alone breaks the line.
QString DisplayText(QString Text)
{
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return Text;
}

// The long part of a hint "Short|Long", or the whole hint.
QString LongHint(const QString& Hint)
{
    const int bar = Hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? Hint : Hint.mid(bar + 1);
}

// A list of recent names, most recent first: a name present moves to the top.
void PushHistory(TStringList& List, const QString& Name, int Limit)
{
    const int index = List.IndexOf(Name);
    if (index >= 0) List.Delete(index);
    List.Insert(0, Name);
    while (Limit > 0 && List.Count() > Limit) List.Delete(List.Count() - 1);
}

QStringList ToQStringList(const TStringList& List)
{
    return List.Strings();
}


// A row of the Messages pane holds its message.
class TMessageRow : public QTreeWidgetItem {
public:
    explicit TMessageRow(IResourceMessagePtr AMessage) : Message(std::move(AMessage)) {}
    IResourceMessagePtr Message;
};

QIcon MessageKindIcon(TResourceMessageKind Kind)
{
    static const QStyle::StandardPixmap pixmaps[] = {QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxWarning,
                                                     QStyle::SP_MessageBoxCritical};
    return QApplication::style()->standardIcon(pixmaps[Kind]);
}
} // namespace

QStringList DialogFilterToNameFilters(const QString& Filter)
{
    QStringList result;
    const QStringList parts = Filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const int open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0) description = description.left(open).trimmed();
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return result;
}

// Settings

TCustomFormSettings::TCustomFormSettings(QWidget* Owner) : TCustomSettings(nullptr), FOwner(Owner) { ResetDefaults(); }

void TCustomFormSettings::ResetDefaults()
{
    FValid = false;
    FLeft = FOwner ? FOwner->x() : 0;
    FTop = FOwner ? FOwner->y() : 0;
    FWidth = -1;
    FHeight = -1;
    FMaximized = false;
}

bool TCustomFormSettings::ApplySettings()
{
    if (!FValid) return false;
    if (FTop < 0) FTop = 0;
    if (FLeft + FWidth < 0) FLeft = 0;
    // Left and Top place the frame, Width and Height size the client area: the frame's margins are not
    // known before the window shows, so this is what can be put back exactly.
    FOwner->move(FLeft, FTop);
    FOwner->resize(FWidth != -1 ? FWidth : FOwner->width(), FHeight != -1 ? FHeight : FOwner->height());
    FNormalFromFrame = {};
    if (FMaximized) {
        // Maximized before it has a frame, the window keeps the frame position as its normal geometry.
        const bool framed = FOwner->testAttribute(Qt::WA_WState_Created);
        FOwner->setWindowState(FOwner->windowState() | Qt::WindowMaximized);
        if (!framed) FNormalFromFrame = FOwner->normalGeometry();
    }
    FOwner->setVisible(FVisible);
    return true;
}

bool TCustomFormSettings::UpdateSettings()
{
    FValid = true;
    FMaximized = FOwner->isMaximized();
    FVisible = FOwner->isVisible();
    QPoint frame = FOwner->pos();
    QSize size = FOwner->size();
    if (FOwner->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        // The normal geometry is a client rectangle, unless it is still the one the window was
        // maximized with before it had a frame.
        const QRect normal = FOwner->normalGeometry();
        size = normal.size();
        frame = normal.topLeft();
        if (normal != FNormalFromFrame) frame -= FOwner->geometry().topLeft() - FOwner->frameGeometry().topLeft();
    }
    FLeft = frame.x();
    FTop = frame.y();
    FWidth = size.width();
    FHeight = size.height();
    return true;
}

TAtelierFolderSettings::TAtelierFolderSettings(QObject* Parent)
    : TCustomSettings(Parent), FOpenHistory(new TSettingsStringList(this)), FSaveHistory(new TSettingsStringList(this))
{
}

void TAtelierFolderSettings::ResetDefaults()
{
    TCustomSettings::ResetDefaults();
    FLastFileType = 0;
    FLastFolder.clear();
}

// The save dialog

TSaveModuleDialog::TSaveModuleDialog(TFormMain* Owner)
    : QObject(Owner), FOwner(Owner), FTitle(QStringLiteral("Save resource file"))
{
}

void TSaveModuleDialog::SetEncodings(const QStringList& Value)
{
    FEncodings = Value;
    Q_EMIT EncodingsChanged();
}

void TSaveModuleDialog::SetEncodingIndex(int Value)
{
    FEncodingIndex = Value;
    Q_EMIT EncodingsChanged();
}

void TSaveModuleDialog::SetEncodingEnabled(bool Value)
{
    if (Value == FEncodingEnabled) return;
    FEncodingEnabled = Value;
    Q_EMIT EncodingsChanged();
}

void TSaveModuleDialog::SetOptionsEnabled(bool Value)
{
    FOptionsEnabled = Value;
    Q_EMIT EncodingsChanged();
}

bool TSaveModuleDialog::Execute()
{
    FRunning = true;
    TFinally done([this] { FRunning = false; });
    return FOwner->Prompts().ExecuteSave(FOwner, *this);
}

// Prompts of Qt

namespace {
class TQtMainFormPrompts : public IMainFormPrompts {
public:
    TAnswer Confirm(QWidget* Parent, const QString& Text) override
    {
        const auto answer = QMessageBox::question(Parent, QApplication::applicationName(), DisplayText(Text),
                                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                                  QMessageBox::Yes);
        return answer == QMessageBox::Yes ? paYes : answer == QMessageBox::No ? paNo : paCancel;
    }
    bool Warning(QWidget* Parent, const QString& Text, bool OkDefault) override
    {
        return QMessageBox::warning(Parent, QApplication::applicationName(), DisplayText(Text),
                                    QMessageBox::Ok | QMessageBox::Cancel,
                                    OkDefault ? QMessageBox::Ok : QMessageBox::Cancel) == QMessageBox::Ok;
    }
    void Information(QWidget* Parent, const QString& Text) override
    {
        QMessageBox::information(Parent, QApplication::applicationName(), DisplayText(Text));
    }
    void Error(QWidget* Parent, const QString& Caption, const QString& Text) override
    {
        QMessageBox box(QMessageBox::Critical, Caption, DisplayText(Text), QMessageBox::Ok, Parent);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }
    bool ExecuteOpen(QWidget* Parent, TOpenDialogState& State) override
    {
        QFileDialog dialog(Parent, State.Title, State.InitialDir);
        dialog.setFileMode(State.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(State.DefaultExt);
        if (!State.FileName.isEmpty()) dialog.selectFile(State.FileName);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        const QStringList filters = DialogFilterToNameFilters(State.Filter);
        dialog.setNameFilters(filters);
        if (State.FilterIndex >= 1 && State.FilterIndex <= filters.size()) dialog.selectNameFilter(filters[State.FilterIndex - 1]);
        dialog.setHistory(State.History);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        State.FileNames.clear();
        for (const QString& name : dialog.selectedFiles()) State.FileNames << QDir::toNativeSeparators(name);
        State.FileName = State.FileNames.first();
        State.FilterIndex = filters.indexOf(dialog.selectedNameFilter()) + 1;
        return true;
    }
    bool ExecuteSaveFile(QWidget* Parent, TOpenDialogState& State) override
    {
        QFileDialog dialog(Parent, State.Title, State.InitialDir);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(State.DefaultExt);
        const QStringList filters = DialogFilterToNameFilters(State.Filter);
        dialog.setNameFilters(filters);
        if (State.FilterIndex >= 1 && State.FilterIndex <= filters.size()) dialog.selectNameFilter(filters[State.FilterIndex - 1]);
        if (!State.FileName.isEmpty()) dialog.selectFile(State.FileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        State.FileName = QDir::toNativeSeparators(dialog.selectedFiles().first());
        State.FilterIndex = filters.indexOf(dialog.selectedNameFilter()) + 1;
        return true;
    }
    bool ExecuteSave(QWidget* Parent, TSaveModuleDialog& Save) override
    {
        // Our own widgets go into the dialog's layout, which only the non-native dialog has.
        QFileDialog dialog(Parent, Save.Title());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        const QStringList filters = DialogFilterToNameFilters(Save.Filter());
        dialog.setNameFilters(filters);
        if (Save.FilterIndex() >= 1 && Save.FilterIndex() <= filters.size())
            dialog.selectNameFilter(filters[Save.FilterIndex() - 1]);
        dialog.setHistory(Save.History());
        if (!Save.FileName().isEmpty()) dialog.selectFile(Save.FileName());

        auto* encodingLabel = new QLabel(QStringLiteral("Encoding:"), &dialog);
        encodingLabel->setObjectName(QStringLiteral("EncodingLabel"));
        auto* encodingCombo = new QComboBox(&dialog);
        encodingCombo->setObjectName(QStringLiteral("EncodingCombo"));
        auto* optionsButton = new QPushButton(QStringLiteral("Options..."), &dialog);
        optionsButton->setObjectName(QStringLiteral("OptionsButton"));
        optionsButton->setVisible(Save.HasOptions());
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            const int row = grid->rowCount();
            grid->addWidget(encodingLabel, row, 0);
            grid->addWidget(encodingCombo, row, 1);
            grid->addWidget(optionsButton, row, 2);
        }
        const auto refresh = [&] {
            encodingCombo->clear();
            encodingCombo->addItems(Save.Encodings());
            encodingCombo->setCurrentIndex(Save.EncodingEnabled() ? Save.EncodingIndex() : -1);
            encodingCombo->setEnabled(Save.EncodingEnabled());
            encodingLabel->setEnabled(Save.EncodingEnabled());
            optionsButton->setEnabled(Save.OptionsEnabled());
        };
        refresh();
        QObject::connect(&Save, &TSaveModuleDialog::EncodingsChanged, &dialog, refresh);
        QObject::connect(&Save, &TSaveModuleDialog::FileNameChanged, &dialog,
                         [&](const QString& name) { dialog.selectFile(name); });
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
            Save.SetFilterIndex(filters.indexOf(filter) + 1);
            const QStringList selected = dialog.selectedFiles();
            Save.SetFileName(selected.isEmpty() ? QString() : selected.first());
            if (Save.OnTypeChange) Save.OnTypeChange(Save);
        });
        QObject::connect(optionsButton, &QPushButton::clicked, &dialog, [&] {
            if (Save.OnOptionsClick) Save.OnOptionsClick();
        });
        const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
        if (Save.EncodingEnabled()) Save.SetEncodingIndex(encodingCombo->currentIndex());
        if (!accepted) return false;
        Save.SetFileName(QDir::toNativeSeparators(dialog.selectedFiles().first()));
        Save.SetFilterIndex(filters.indexOf(dialog.selectedNameFilter()) + 1);
        return true;
    }
};
} // namespace

int IMainFormPrompts::ExecuteModal(QDialog& Form) { return Form.exec(); }

std::unique_ptr<IMainFormPrompts> CreateMainFormPrompts() { return std::make_unique<TQtMainFormPrompts>(); }

// The subscriber on the tracked module.
class TFormMain::TModuleTracker : public IResourceItemNotification {
public:
    explicit TModuleTracker(TFormMain* Owner) : FOwner(Owner) {}
    void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification Notification) override
    {
        if (!FOwner) return;
        if (Notification == rnUnsubscribe) {
            TFormMain* owner = FOwner;
            FOwner = nullptr;
            owner->FTrackModule = nullptr;
        } else if (Notification == rnChanged || Notification == rnAdded || Notification == rnRemoved) {
            // A resource added or removed is a change of the module as much as an edit.
            FOwner->ModuleChanged();
        }
    }

private:
    TFormMain* FOwner;
};

class TFormMain::TMessageLogSubscriber : public IResourceMessageLogSubscriber {
public:
    explicit TMessageLogSubscriber(TFormMain* Owner) : FOwner(Owner) {}
    void LogMessage(const IResourceMessagePtr& Msg) override
    {
        if (FOwner) FOwner->LogMessage(Msg);
    }
    void Detach() { FOwner = nullptr; }

private:
    QPointer<TFormMain> FOwner;
};

// TFormMain

TFormMain::TFormMain(std::unique_ptr<IMainFormPrompts> Prompts, QWidget* Parent)
    : QMainWindow(Parent), FPrompts(std::move(Prompts))
{
    setObjectName(QStringLiteral("FormMain"));
    resize(1100, 720);
    SetApplicationExceptionHandler([this](std::exception_ptr error) { ExceptionFilter(error); });

    // The settings of the folders and of the window.
    FSettingsFolder = std::make_unique<TAtelierFolderSettings>();
    ConfigurationService()->LoadSettings(QStringLiteral("\\Folders"), FSettingsFolder.get());
    if (!FSettingsFolder->Valid()) {
        FSettingsFolder->SetLastFileType(0);
        FSettingsFolder->SetLastFolder(QDir::homePath());
    }
    FSettingsMain = std::make_unique<TAtelierFormMainSettings>(this);
    ConfigurationService()->LoadSettings(QStringLiteral("\\Forms\\Application"), FSettingsMain.get());

    // The workspace's panes dock into PanelFrame; the frame itself stays hidden.
    InstallBetterDockTree();
    auto* panelFrame = new QMainWindow(this);
    panelFrame->setObjectName(QStringLiteral("PanelFrame"));
    panelFrame->setWindowFlags(Qt::Widget);
    panelFrame->setContentsMargins(4, 0, 4, 4);
    setCentralWidget(panelFrame);
    FFrameAtelier = new TFrameAtelier(panelFrame);
    FFrameAtelier->SetDockHost(panelFrame);
    FFrameAtelier->ItemCommands()->SetPrompts(FPrompts.get());
    FFrameAtelier->hide();
    // The window's own edges take dock forms only.
    MakeDockSite(this)->SetFilter([](QDockWidget* form) { return qobject_cast<TDockForm*>(form) != nullptr; });
    FSaveModuleDialog = new TSaveModuleDialog(this);
    FSaveModuleDialog->SetHasOptions(true);
    FSaveModuleDialog->OnTypeChange = [this](TSaveModuleDialog& dialog) { SaveDialogTypeChange(dialog); };
    FSaveModuleDialog->OnOptionsClick = [this] { Guarded([this] { SaveOptionsClick(); }); };
    setAcceptDrops(true);
    qApp->installEventFilter(this);
    FSearchReplace = std::make_unique<TSearchReplace>(this);
    FSearchReplace->ExecuteModal = [this](QDialog& form) { return FPrompts->ExecuteModal(form); };

    CreateActions();
    CreateMenus();
    CreateStatusBar();
    CreatePanes();

    FMessageLogSubscriber = std::make_shared<TMessageLogSubscriber>(this);
    MessageLogger()->Subscribe(FMessageLogSubscriber);

    Action(QStringLiteral("ActionLayoutSave"))->setVisible(QDir(QStringLiteral("../Source/Resources")).exists());
    FFrameAtelier->RestoreDefaultLayout();
    NewFile();
    UpdateActions();
}

TFormMain::~TFormMain()
{
    Guarded([this] { FFrameAtelier->Finalize(); });
    Guarded([this] { FFramePropertyInspector->SetResourceItem(nullptr); });
    SetItemPropertyInspectorHook(std::move(FPreviousPropertyInspectorHook));
    if (FMessageLogSubscriber) {
        FMessageLogSubscriber->Detach();
        MessageLogger()->Unsubscribe(FMessageLogSubscriber);
    }
    TrackModule(nullptr);
    Guarded([this] {
        FSettingsFolder->SetValid(true);
        ConfigurationService()->SaveSettings(QStringLiteral("\\Folders"), FSettingsFolder.get());
        ConfigurationService()->SaveSettings(QStringLiteral("\\Forms\\Application"), FSettingsMain.get());
    });
    SetApplicationExceptionHandler({});
}

void TFormMain::Guarded(const std::function<void()>& Handler)
{
    try {
        Handler();
    } catch (const EAbort&) {
    } catch (...) {
        ExceptionFilter(std::current_exception());
    }
}

void TFormMain::ExceptionFilter(std::exception_ptr Error)
{
    try {
        std::rethrow_exception(Error);
    } catch (const EAbort&) {
    } catch (const EAssertionFailed&) {
        // A programming error: the crash handler reports it.
        std::terminate();
    } catch (const Exception& error) {
        FPrompts->Error(nullptr, Str(SApplicationError), error.Message());
    } catch (const std::bad_alloc&) {
        std::terminate();
    } catch (const std::exception& error) {
        FPrompts->Error(nullptr, Str(SApplicationError), QString::fromLocal8Bit(error.what()));
    }
}

QAction* TFormMain::AddAction(const QString& Name, const QString& Caption, const QString& Hint,
                              const std::function<void()>& Execute, const QKeySequence& Shortcut)
{
    auto* action = new QAction(Caption, this);
    action->setObjectName(Name);
    action->setStatusTip(LongHint(Hint));
    action->setToolTip(Hint.section(QLatin1Char('|'), 0, 0));
    if (!Shortcut.isEmpty()) action->setShortcut(Shortcut);
    if (Execute) connect(action, &QAction::triggered, this, [this, Execute] { Guarded(Execute); });
    FActions.append(action);
    return action;
}

QAction* TFormMain::Action(const QString& Name) const
{
    for (QAction* action : FActions)
        if (action->objectName() == Name) return action;
    return nullptr;
}

void TFormMain::CreateActions()
{
    AddAction("ActionFileNewModule", "&Resource module", "Create a new, empty resource file", [this] {
        if (CheckSave()) NewFile();
    });
    AddAction("ActionFileOpen", "&Open...", "Open a resource file", [this] { OpenFile(); }, QKeySequence(Qt::CTRL | Qt::Key_O));
    AddAction("ActionFileRecentClear", "&Clear recent", "Clear list of recently opened files",
              [this] { FSettingsFolder->OpenHistory()->Clear(); });
    AddAction("ActionFileSave", "&Save", "Save the currect resource file", [this] { SaveFile(false); },
              QKeySequence(Qt::CTRL | Qt::Key_S));
    AddAction("ActionFileSaveAs", "S&ave as...", "Save the current resource file with a new filename",
              [this] { SaveFile(true); });
    AddAction("ActionFileRevert", "&Revert...", "Revert changes", [this] { Revert(); });
    AddAction("ActionFileExit", "E&xit", "Exit application", [this] { close(); }, QKeySequence(Qt::ALT | Qt::Key_F4));
    AddAction("ActionSearchFind", "&Find...", "", [this] { FSearchReplace->SearchFind(FFrameAtelier->ResourceModule()); },
              QKeySequence(Qt::CTRL | Qt::Key_F));
    AddAction("ActionSearchReplace", "&Replace...", "", [this] { FSearchReplace->SearchReplace(FFrameAtelier->ResourceModule()); },
              QKeySequence(Qt::CTRL | Qt::Key_R));
    AddAction("ActionLayoutRestore", "&Restore default layout", "Restore all panes to their default size and position",
              [this] { FFrameAtelier->RestoreDefaultLayout(); });
    AddAction("ActionLayoutRestoreCompact", "R&estore compact layout",
              "Loads a layout suited for a small screen (e.g. 800x600)",
              [this] { FFrameAtelier->RestoreCompactLayout(); });
    AddAction("ActionLayoutSave", "&Save layout...", "For internal use", [this] {
        const bool debugger = DebuggerAttached();
        if (!FPrompts->Warning(this,
                               debugger ? QStringLiteral("This will save the current docking layout to a file.")
                                        : QStringLiteral("This is for internal use and probably doesn't do what you expect."),
                               debugger))
            return;
        const QString name = QStringLiteral("../Source/Resources/DockLayout.bin");
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw EFCreateError(Format("Cannot create file \"%s\"", {name}));
        file.write(FFrameAtelier->SaveDockLayout());
        if (debugger) FPrompts->Information(this, Format("Layout has been saved to \"%s\"", {name}));
    });
    QAction* preview = AddAction("ActionViewPreview", "&Preview", "Display the preview pane", {});
    preview->setCheckable(true);
    connect(preview, &QAction::toggled, this, [this](bool on) { FFrameAtelier->SetPaneVisible(FFrameAtelier->PaneView(), on); });
    QAction* messages = AddAction("ActionViewMessages", "&Messages", "Display the message pane", {});
    messages->setCheckable(true);
    connect(messages, &QAction::toggled, this, [this](bool on) { FFrameAtelier->SetPaneVisible(FPanelMessages, on); });
    // A closed Properties pane has no other way back.
    QAction* properties = AddAction("ActionViewProperties", "P&roperties", "Display the property pane", {});
    properties->setCheckable(true);
    connect(properties, &QAction::toggled, this,
            [this](bool on) { FFrameAtelier->SetPaneVisible(FPanelPropertyInspector, on); });
    QAction* internal = AddAction("ActionViewInternal", "&View internal resources", "Display hidden resource types", {});
    internal->setCheckable(true);
    connect(internal, &QAction::triggered, this, [this](bool on) {
        FFrameAtelier->SetViewHidden(on);
        FPrompts->Information(this, Str(SViewHiddenLater));
    });
    AddAction("ActionViewRegisteredTypes", "&Registered resource items", "List of registered resource types", {});
    AddAction("ActionHelpAbout", "&About...", "Who to blame", [this] { FFrameAtelier->About(); });
    AddAction("ActionHelpFeedback", "A&ssistance and Feedback...", "Open the application home page in your default browser",
              [] { QDesktopServices::openUrl(QUrl(QStringLiteral("https://atelier.kestovar.net/"))); });
    AddAction("ActionDebugAV", "&Cause Access Violation", "", [] { std::raise(SIGSEGV); });
    AddAction("ActionMessagesSelectAll", "Select &All", "", [this] { FListViewMessages->selectAll(); },
              QKeySequence(Qt::CTRL | Qt::Key_A));
    QAction* copy = AddAction("ActionMessagesCopy", "Copy to Clipboard", "", [this] { MessagesCopy(); });
    copy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    AddAction("ActionMessagesClear", "Clear Messages", "", [this] { FListViewMessages->clear(); });
    AddAction("ActionMessagesViewItem", "View Resource Item", "", [this] { MessagesViewItem(); });
    AddAction("ActionToolsSymbolWriteList", "Write symbol list", "", [this] { WriteSymbolList(); });
    AddAction("ActionToolsSymbolReadList", "Read symbol list", "", [this] { ReadSymbolList(); });
}

void TFormMain::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* fileNew = file->addMenu(QStringLiteral("&New"));
    fileNew->setStatusTip(QString());
    fileNew->addAction(Action("ActionFileNewModule"));
    file->addSeparator();
    file->addAction(Action("ActionFileOpen"));
    FMenuRecent = file->addMenu(QStringLiteral("O&pen recent"));
    FMenuRecent->menuAction()->setStatusTip(QStringLiteral("Open a recently opened resource file"));
    FMenuRecent->addSeparator();
    FMenuRecent->addAction(Action("ActionFileRecentClear"));
    connect(FMenuRecent, &QMenu::aboutToShow, this, [this] { Guarded([this] { UpdateRecentMenu(); }); });
    file->addAction(Action("ActionFileSave"));
    file->addAction(Action("ActionFileSaveAs"));
    file->addAction(Action("ActionFileRevert"));
    file->addSeparator();
    file->addAction(Action("ActionFileExit"));
    connect(file, &QMenu::aboutToShow, this, [this] { UpdateActions(); });

    QMenu* search = menuBar()->addMenu(QStringLiteral("&Search"));
    search->addAction(Action("ActionSearchFind"));
    search->addAction(Action("ActionSearchReplace"));
    search->addSeparator();

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QMenu* layout = view->addMenu(QStringLiteral("&Layout"));
    layout->addAction(Action("ActionLayoutRestore"));
    layout->addAction(Action("ActionLayoutRestoreCompact"));
    layout->addSeparator();
    layout->addAction(Action("ActionLayoutSave"));
    view->addSeparator();
    view->addAction(Action("ActionViewPreview"));
    view->addAction(Action("ActionViewMessages"));
    view->addAction(Action("ActionViewProperties"));
    view->addSeparator();
    QMenu* debug = view->addMenu(QStringLiteral("&Debug"));
    debug->addAction(Action("ActionViewInternal"));
    debug->addSeparator();
    QMenu* types = debug->addMenu(QStringLiteral("&Registered resource items"));
    types->menuAction()->setStatusTip(Action("ActionViewRegisteredTypes")->statusTip());
    auto kinds = ResourceItemDatabase()->GetEnumerator();
    while (kinds->MoveNext()) {
        TResourceItemClass kind = kinds->GetCurrent();
        const TResourceItemCapabilities caps = kind->Capabilities();
        QString letters;
        if (caps.Contains(rcCreate)) letters += QStringLiteral("Create");
        letters += QStringLiteral("Read");
        if (caps.Contains(rcWrite)) letters += QStringLiteral("Write");
        if (caps.Contains(rcLoad)) letters += QStringLiteral("Load");
        if (caps.Contains(rcSave)) letters += QStringLiteral("Save");
        types->addAction(kind->ResourceTypeName() + QStringLiteral(" (") + letters + QLatin1Char(')'));
    }
    connect(view, &QMenu::aboutToShow, this, [this] {
        Action("ActionViewPreview")->setChecked(FFrameAtelier->PaneVisible(FFrameAtelier->PaneView()));
        Action("ActionViewMessages")->setChecked(FFrameAtelier->PaneVisible(FPanelMessages));
        Action("ActionViewProperties")->setChecked(FFrameAtelier->PaneVisible(FPanelPropertyInspector));
    });

    FMenuDebug = menuBar()->addMenu(QStringLiteral("D&ebug"));
    FMenuDebug->addAction(Action("ActionDebugAV"));
    FMenuDebug->menuAction()->setVisible(DebuggerAttached());

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(Action("ActionHelpFeedback"));
    help->addSeparator();
    help->addAction(Action("ActionHelpAbout"));
    for (QAction* action : FActions) addAction(action); // shortcuts work without the menus open
}

void TFormMain::CreateStatusBar()
{
    const int widths[] = {100, 150, 100};
    for (int i = 0; i < 3; ++i) {
        FStatusPanels[i] = new QLabel(this);
        FStatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        FStatusPanels[i]->setMinimumWidth(widths[i]);
        statusBar()->addWidget(FStatusPanels[i], i == 2 ? 1 : 0);
    }
    FProgressBar = new QProgressBar(FStatusPanels[2]);
    FProgressBar->setObjectName(QStringLiteral("ProgressBar1"));
    FProgressBar->setTextVisible(false);
    FProgressBar->hide();
    FStatusPanels[2]->installEventFilter(this);
}

void TFormMain::CreatePanes()
{
    FPanelPropertyInspector = new TWorkspacePane(QStringLiteral("PanelPropertyInspector"), QStringLiteral("Properties"), this);
    FPanelPropertyInspector->setMinimumSize(100, 150);
    FFramePropertyInspector = new TFramePropertyInspector(FPanelPropertyInspector);
    // The pane shows the caption already.
    FFramePropertyInspector->HeaderPanel()->hide();
    FPanelPropertyInspector->Content()->addWidget(FFramePropertyInspector);
    FPreviousPropertyInspectorHook =
        SetItemPropertyInspectorHook([this](TCustomResourceItem*) -> IAtelierPropertyInspector* { return FFramePropertyInspector; });
    FPanelMessages = new TWorkspacePane(QStringLiteral("PanelMessages"), QStringLiteral("Messages"), this);
    FPanelMessages->setMinimumHeight(50);
    FListViewMessages = new QTreeWidget(FPanelMessages);
    FListViewMessages->setObjectName(QStringLiteral("ListViewMessages"));
    FListViewMessages->setColumnCount(2);
    FListViewMessages->setHeaderLabels({QStringLiteral("Context"), QStringLiteral("Message")});
    FListViewMessages->setRootIsDecorated(false);
    FListViewMessages->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FListViewMessages->setSelectionBehavior(QAbstractItemView::SelectRows);
    FListViewMessages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FListViewMessages->header()->setSectionsClickable(false);
    FListViewMessages->header()->resizeSection(0, 100);
    FListViewMessages->header()->setStretchLastSection(true);
    FListViewMessages->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (const char* name : {"ActionMessagesSelectAll", "ActionMessagesCopy", "ActionMessagesClear"})
        FListViewMessages->addAction(Action(name));
    auto* separator = new QAction(FListViewMessages);
    separator->setSeparator(true);
    FListViewMessages->addAction(separator);
    FListViewMessages->addAction(Action("ActionMessagesViewItem"));
    // The list's own shortcuts win while it has the focus.
    for (const char* name : {"ActionMessagesSelectAll", "ActionMessagesCopy"}) {
        Action(name)->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        removeAction(Action(name));
    }
    connect(FListViewMessages, &QTreeWidget::itemDoubleClicked, this, [this] { Guarded([this] { MessagesViewItem(); }); });
    connect(FListViewMessages, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
    FPanelMessages->Content()->addWidget(FListViewMessages);
    FFrameAtelier->DockPane(FPanelPropertyInspector, Qt::LeftDockWidgetArea, FFrameAtelier->PanelResources());
    FFrameAtelier->DockPane(FPanelMessages, Qt::BottomDockWidgetArea);
    FFrameAtelier->SetPaneVisible(FPanelMessages, false);
    FFrameAtelier->OnPaneHidden = [this](QWidget* pane) {
        if (pane == FPanelMessages) MessagePaneHide();
    };
}

QWidget* TFormMain::MessagesPane() const { return FPanelMessages; }

QWidget* TFormMain::PropertiesPane() const { return FPanelPropertyInspector; }

void TFormMain::UpdateActions()
{
    Action("ActionFileRevert")->setEnabled(FDirty && !FFilename.isEmpty());
    Action("ActionFileSave")->setEnabled(FFilename.isEmpty() || FCanSave);
    Action("ActionMessagesCopy")->setEnabled(!FListViewMessages->selectedItems().isEmpty());
    bool canTrack = false;
    if (auto* row = dynamic_cast<TMessageRow*>(FListViewMessages->currentItem())) canTrack = row->Message->CanTrack();
    Action("ActionMessagesViewItem")->setEnabled(canTrack);
}

// Change tracking and caption

void TFormMain::EndUpdate()
{
    if (--FUpdateCount == 0) UpdateCaption();
}

void TFormMain::ModuleChanged()
{
    if (FUpdateCount > 0) return;
    FDirty = true;
    UpdateCaption();
}

void TFormMain::SetFilename(const QString& Name)
{
    FFilename = Name;
    FCanSave = true;
    FDirty = false;
    UpdateCaption();
}

void TFormMain::TrackModule(TCustomResourceModule* Module)
{
    if (Module == FTrackModule && (Module || !FModuleTracker)) return;
    if (FModuleTracker) {
        TCustomResourceModule* tracked = FTrackModule;
        FTrackModule = nullptr;
        if (tracked) tracked->Unsubscribe(FModuleTracker.get());
        FModuleTracker.reset();
    }
    if (Module) {
        FModuleTracker = std::make_unique<TModuleTracker>(this);
        FTrackModule = Module;
        Module->Subscribe(FModuleTracker.get());
    }
}

void TFormMain::ResetModuleState()
{
    TrackModule(nullptr);
    FFrameAtelier->SetPaneVisible(FPanelMessages, false);
}

void TFormMain::UpdateCaption()
{
    QString name = ExtractFileName(FFilename);
    if (FFilename.isEmpty()) name = FDirty ? Str(SNewFile) : QString();
    if (name.isEmpty())
        setWindowTitle(Str(SCaptionEmpty));
    else
        setWindowTitle(Format(FDirty ? SCaptionChanged : SCaptionClean, {name}));
    UpdateActions();
}

// Progress

void TFormMain::ShowProgress(TResourceProgressStage Stage, int CurrentProgress, int MaxProgress, const QString& Msg)
{
    switch (Stage) {
    case psBegin:
        FStatusPanels[0]->setText(Msg);
        FStatusPanels[1]->setText(QStringLiteral("..."));
        FStatusPanels[2]->setText(QString());
        FProgressBar->setRange(0, std::max(MaxProgress, 0));
        FProgressBar->setValue(0);
        FProgressBar->setGeometry(0, 0, std::max(FStatusPanels[2]->width() - 15, 10), FStatusPanels[2]->height());
        FProgressBar->show();
        repaint();
        FProgressClock.invalidate(); // the first report shows at once
        break;
    case psProgress:
        // Readers and writers report every item; painting each report cost more than the work itself.
        // A few updates a second show the same, and the whole window is painted then, so that what a
        // closed dialog uncovered does not stay stale until the work ends.
        if (FProgressClock.isValid() && FProgressClock.elapsed() < ProgressInterval) break;
        FProgressClock.start();
        FStatusPanels[1]->setText(Msg);
        FProgressBar->setMaximum(std::max(MaxProgress, 0));
        FProgressBar->setValue(std::clamp(CurrentProgress, 0, std::max(MaxProgress, 0)));
        repaint();
        break;
    case psEnd:
        for (QLabel* panel : FStatusPanels) panel->clear();
        FProgressBar->hide();
        repaint();
        break;
    }
}

QString TFormMain::StatusText(int Panel) const { return FStatusPanels[Panel]->text(); }

// Module commands

bool TFormMain::CheckSave()
{
    if (!FDirty) return true;
    switch (FPrompts->Confirm(this, Str(SSaveChanges))) {
    case IMainFormPrompts::paYes:
        return SaveFile(false);
    case IMainFormPrompts::paNo:
        return true;
    default:
        return false;
    }
}

void TFormMain::NewFile()
{
    BeginUpdate();
    TFinally end([this] { EndUpdate(); });
    ResetModuleState();
    FFrameAtelier->NewModule();
    TrackModule(FFrameAtelier->ResourceModule());
    SetFilename(QString());
}

void TFormMain::LoadFile(const QString& FileName)
{
    const QString name = FFrameAtelier->ResolveShortcut(FileName);
    {
        BeginUpdate();
        TFinally end([this] { EndUpdate(); });
        try {
            ResetModuleState();
            SetFilename(name);
            const TResourceProgress progress = [this](TCustomResourceModuleFiler*, TResourceProgressStage stage, int current,
                                                      int maximum, const QString& msg,
                                                      void*) { ShowProgress(stage, current, maximum, msg); };
            FFrameAtelier->LoadFromFile(name, progress);
            TrackModule(FFrameAtelier->ResourceModule());
        } catch (...) {
            TStringList& history = *FSettingsFolder->OpenHistory();
            if (const int index = history.IndexOf(name); index >= 0) history.Delete(index);
            // The messages that explain the failure stay where the person can read them.
            TrackModule(nullptr);
            FFrameAtelier->NewModule();
            TrackModule(FFrameAtelier->ResourceModule());
            SetFilename(QString());
            throw;
        }
    }
    FCanSave = ResourceModuleFilerDatabase()->FindWriter(FFrameAtelier->ResourceModule(), name) != nullptr;
    PushHistory(*FSettingsFolder->OpenHistory(), name, RecentLimit);
    UpdateActions();
}

void TFormMain::OpenFile()
{
    if (!CheckSave()) Abort();
    TOpenDialogState state;
    state.Title = QStringLiteral("Open resource file");
    state.Filter = FileTypesFilter(ResourceModuleFilerDatabase()->FileTypes(TCustomResourceModuleReader::ClassInfo(), TResourceFilerCapabilities{fcLoad}), true);
    state.FilterIndex = FSettingsFolder->LastFileType();
    state.InitialDir = FSettingsFolder->LastFolder();
    state.History = ToQStringList(*FSettingsFolder->OpenHistory());
    if (!FPrompts->ExecuteOpen(this, state)) return;
    LoadFile(state.FileName);
    FSettingsFolder->SetLastFileType(state.FilterIndex);
    FSettingsFolder->SetLastFolder(ExtractFilePath(state.FileName));
}

void TFormMain::Revert() { LoadFile(FFilename); }

bool TFormMain::CanOpenModule(const QString& FileName)
{
    const QString name = FFrameAtelier->ResolveShortcut(FileName);
    if (ResourceModuleFilerDatabase()->FindReader(name)) return true;
    TFileStream stream(name, fmOpenRead);
    return ResourceModuleFilerDatabase()->FindReader(&stream) != nullptr;
}

bool TFormMain::SaveFile(bool SaveAs)
{
    QString name = FFilename;
    if (SaveAs || FFilename.isEmpty()) {
        TCustomResourceModule* module = FFrameAtelier->ResourceModule();
        FFileTypeGroups = ResourceModuleFilerDatabase()->FileTypes(TCustomResourceModuleWriter::ClassInfo(), TResourceFilerCapabilities{fcSave})->GetGroups();
        TFinally releaseGroups([this] { FFileTypeGroups.reset(); });
        TSaveModuleDialog& dialog = *FSaveModuleDialog;
        dialog.SetFilter(FileTypeGroupsFilter(FFileTypeGroups, true));
        const int group = FindFileTypeGroup(FFileTypeGroups, FFilename, 0);
        dialog.SetFilterIndex(group + 1);
        dialog.SetFileName(FFilename.isEmpty() ? QString() : ChangeFileExtForGroup(FFileTypeGroups, FFilename, group));
        dialog.SetHistory(ToQStringList(*FSettingsFolder->SaveHistory()));
        QString proposed = dialog.FileName();
        if (proposed.isEmpty() && group < FFileTypeGroups->GetCount() && FFileTypeGroups->GetGroup(group)->GetCount() > 0)
            proposed = QStringLiteral("dummy.") + FFileTypeGroups->GetGroup(group)->GetFileType(0)->GetFileType();
        UpdateSaveEncodings(dialog, proposed);
        UpdateSaveOptions(dialog, proposed);
        bool confirmed;
        {
            TFinally releaseOptions([this] {
                FModuleFilerOptions.reset();
                FModuleFilerOptionsDialog.reset();
                FModuleWriterOptions = nullptr;
            });
            confirmed = dialog.Execute();
            if (confirmed && FModuleFilerOptionsDialog && FModuleWriterOptions)
                FModuleFilerOptionsDialog->ApplyOptions(FModuleWriterOptions);
        }
        if (!confirmed) return false;
        name = dialog.FileName();
        if (ExtractFileExt(name).isEmpty()) name = ChangeFileExtForGroup(FFileTypeGroups, name, dialog.FilterIndex() - 1);
        const int encoding = dialog.EncodingIndex();
        module->SetEncoding(encoding >= 0 && encoding < dialog.Encodings().size() ? dialog.Encodings().at(encoding) : QString());
    }
    {
        BeginUpdate();
        TFinally end([this] { EndUpdate(); });
        const TResourceProgress progress = [this](TCustomResourceModuleFiler*, TResourceProgressStage stage, int current,
                                                  int maximum, const QString& msg,
                                                  void*) { ShowProgress(stage, current, maximum, msg); };
        FFrameAtelier->SaveToFile(name, progress);
        // The new name counts only once the file is written.
        if (name != FFilename || SaveAs) PushHistory(*FSettingsFolder->SaveHistory(), name, 0);
        SetFilename(name);
    }
    FCanSave = ResourceModuleFilerDatabase()->FindWriter(FFrameAtelier->ResourceModule(), FFilename) != nullptr;
    UpdateActions();
    return true;
}

void TFormMain::SaveDialogTypeChange(TSaveModuleDialog& Dialog)
{
    if (!FFileTypeGroups) return;
    const int group = Dialog.FilterIndex() - 1;
    if (group < 0 || group >= FFileTypeGroups->GetCount()) return;
    QString base;
    bool fromUser = false;
    const QString current = Dialog.FileName();
    if (!current.isEmpty() && !QFileInfo(current).isDir()) {
        base = current;
        fromUser = !QFileInfo(current).fileName().isEmpty();
    }
    if (!fromUser) base = QStringLiteral("dummy");
    const IResourceFileTypesPtr types = FFileTypeGroups->GetGroup(group);
    if (types->GetCount() > 0) {
        const QFileInfo info(base);
        const QString folder = fromUser ? ExtractFilePath(base) : QString();
        base = folder + info.completeBaseName() + QLatin1Char('.') + types->GetFileType(0)->GetFileType();
        if (fromUser) {
            Dialog.FFileName = base;
            Q_EMIT Dialog.FileNameChanged(base);
        }
    }
    UpdateSaveEncodings(Dialog, base);
    UpdateSaveOptions(Dialog, base);
}

void TFormMain::UpdateSaveEncodings(TSaveModuleDialog& Dialog, const QString& FileName)
{
    TCustomResourceModule* module = FFrameAtelier->ResourceModule();
    QStringList encodings;
    if (TResourceModuleFilerClass writer = ResourceModuleFilerDatabase()->FindWriter(module, FileName))
        writer->GetEncodings(encodings);
    int index = -1;
    if (!encodings.isEmpty()) {
        index = 0;
        for (int i = 0; i < encodings.size(); ++i)
            if (encodings[i].compare(module->Encoding(), Qt::CaseInsensitive) == 0) index = i;
    }
    Dialog.SetEncodings(encodings);
    Dialog.SetEncodingIndex(index);
    Dialog.SetEncodingEnabled(index >= 0);
}

void TFormMain::UpdateSaveOptions(TSaveModuleDialog& Dialog, const QString& FileName)
{
    FModuleFilerOptions.reset();
    FModuleFilerOptionsDialog.reset();
    FModuleWriterOptions = nullptr;
    if (TResourceModuleFilerClass writer = ResourceModuleFilerDatabase()->FindWriter(FFrameAtelier->ResourceModule(), FileName))
        FModuleFilerOptions = writer->GetOptions();
    Dialog.SetOptionsEnabled(FModuleFilerOptions != nullptr);
}

void TFormMain::SaveOptionsClick()
{
    if (!FModuleFilerOptions) return;
    if (!FModuleFilerOptionsDialog) FModuleFilerOptionsDialog = FModuleFilerOptions->GetOptionsDialog();
    if (FModuleFilerOptionsDialog && !FModuleWriterOptions) {
        FModuleWriterOptions = FModuleFilerOptions->GetSettings();
        if (FModuleWriterOptions) FModuleFilerOptionsDialog->LoadOptions(FModuleWriterOptions);
    }
    if (FModuleFilerOptionsDialog && FModuleWriterOptions) {
        FModuleFilerOptionsDialog->InitializeDialog(nullptr, nullptr);
        FModuleFilerOptionsDialog->ShowDialog();
    } else {
        FPrompts->Information(this, Str(SNoOptionsDialog));
    }
}

void TFormMain::UpdateRecentMenu()
{
    for (QAction* action : FRecentActions) {
        FMenuRecent->removeAction(action);
        FActions.removeAll(action);
        delete action;
    }
    FRecentActions.clear();
    const TStringList& history = *FSettingsFolder->OpenHistory();
    QAction* before = FMenuRecent->actions().isEmpty() ? nullptr : FMenuRecent->actions().first();
    const QFontMetrics metrics(font());
    for (int i = 0; i < history.Count(); ++i) {
        const QString full = history[i];
        const QChar accelerator = i <= 9 ? QChar('0' + i) : QChar(55 + i);
        const QString shortName = metrics.elidedText(full, Qt::ElideMiddle, 250);
        auto* action = new QAction(QStringLiteral("&") + accelerator + QStringLiteral("  ") + shortName, this);
        action->setStatusTip(Format(SOpenRecentHint, {full}));
        action->setData(i);
        connect(action, &QAction::triggered, this, [this, i] {
            Guarded([this, i] {
                const TStringList& list = *FSettingsFolder->OpenHistory();
                if (i < list.Count() && CheckSave()) LoadFile(list[i]);
            });
        });
        FMenuRecent->insertAction(before, action);
        FRecentActions.push_back(action);
    }
}

void TFormMain::DropFiles(const QStringList& Files)
{
    if (Files.isEmpty()) return;
    if (CanOpenModule(Files.first())) {
        if (!CheckSave()) Abort();
        LoadFile(Files.first());
        return;
    }
    BeginUpdate();
    TFinally end([this] { EndUpdate(); });
    int added = 0;
    // Items added before a failing file stay, and the module counts as changed.
    TFinally changed([this, &added] {
        if (added > 0) FDirty = true;
    });
    for (const QString& file : Files) {
        FFrameAtelier->AddItemFromFile(file);
        ++added;
    }
}

void TFormMain::OpenCommandLine(const QStringList& Arguments)
{
    if (Arguments.isEmpty()) return;
    try {
        LoadFile(Arguments.first());
    } catch (...) {
        ExceptionFilter(std::current_exception());
        FClosing = true;
        QTimer::singleShot(0, qApp, &QApplication::quit);
    }
}

void TFormMain::WriteSymbolList()
{
    TResourceSymbols* symbols = FFrameAtelier->ResourceModule()->Symbols();
    QByteArray text;
    for (int i = 0; i < symbols->Count(); ++i) {
        TResourceSymbol* symbol = symbols->Items(i);
        text += (symbol->Symbol() + QLatin1Char('=') + symbol->LiteralValue()).toUtf8() + "\r\n";
    }
    QFile file(Str(SSymbolListFile));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFCreateError(Format("Cannot create file \"%s\"", {QFileInfo(file).absoluteFilePath()}));
    file.write(text);
}

void TFormMain::ReadSymbolList()
{
    QFile file(Str(SSymbolListFile));
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(Format("Cannot open file \"%s\"", {QFileInfo(file).absoluteFilePath()}));
    const QByteArray bytes = file.readAll();
    // A byte-order mark names the encoding; without one the text is in the ANSI code page.
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text = QString::fromUtf8(bytes.mid(3));
    else if (bytes.startsWith("\xFF\xFE"))
        text = TBinaryReader(bytes).Utf16(2, (bytes.size() - 2) / 2);
    else
        text = CodePageToUnicode(bytes, 1252);
    TStringList lines;
    lines.SetText(text);
    TResourceSymbols* symbols = FFrameAtelier->ResourceModule()->Symbols();
    symbols->Clear();
    for (int i = 0; i < lines.Count(); ++i) {
        const QString name = lines.Names(i);
        TResourceSymbol* symbol = symbols->Add(name);
        symbol->SetLiteralValue(lines.Values(name));
    }
}

// Messages pane

void TFormMain::LogMessage(const IResourceMessagePtr& Msg)
{
    auto* row = new TMessageRow(Msg);
    const IResourceMessageContextPtr context = Msg->GetContext();
    row->setText(0, context ? context->GetDescription() : QString());
    row->setText(1, Msg->GetMessage());
    row->setIcon(0, MessageKindIcon(Msg->GetKind()));
    FListViewMessages->addTopLevelItem(row);
    if (!FFrameAtelier->PaneVisible(FPanelMessages)) FFrameAtelier->SetPaneVisible(FPanelMessages, true);
    FListViewMessages->scrollToItem(row);
    FListViewMessages->repaint();
}

void TFormMain::MessagePaneHide()
{
    FListViewMessages->clear();
    UpdateActions();
}

void TFormMain::MessagesCopy()
{
    QStringList lines;
    for (int i = 0; i < FListViewMessages->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = FListViewMessages->topLevelItem(i);
        if (row->isSelected()) lines << row->text(0) + QLatin1Char('\t') + row->text(1);
    }
    if (lines.isEmpty()) return;
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\r')));
}

void TFormMain::MessagesViewItem()
{
    auto* row = dynamic_cast<TMessageRow*>(FListViewMessages->currentItem());
    if (!row || !row->Message) return;
    const IResourceMessageContextPtr context = row->Message->GetContext();
    TCustomResourceItem* item = context ? context->GetResourceItem() : nullptr;
    IAtelier* atelier = CurrentAtelier();
    if (!item || !atelier) return;
    atelier->SelectResourceItem(item);
    atelier->Navigate(row->Message);
}

// Window events

void TFormMain::closeEvent(QCloseEvent* Event)
{
    bool canClose = FClosing;
    if (!canClose) Guarded([&] { canClose = CheckSave(); });
    if (!canClose) {
        Event->ignore();
        return;
    }
    ResetModuleState();
    Event->accept();
}

void TFormMain::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (FCommandLinePosted) return;
    FCommandLinePosted = true;
    // Both wait until the window has its size and is on screen.
    QMetaObject::invokeMethod(
        this,
        [this] {
            Guarded([this] { FFrameAtelier->Initialize(); });
            OpenCommandLine(FCommandLine);
        },
        Qt::QueuedConnection);
}

bool TFormMain::event(QEvent* Event)
{
    if (Event->type() == QEvent::StatusTip) {
        // Hints show in the last panel, not as a temporary message that hides the panels.
        FStatusPanels[2]->setText(static_cast<QStatusTipEvent*>(Event)->tip());
        return true;
    }
    if (Event->type() == QEvent::ShortcutOverride) {
        // Reached when the focused widget did not claim the key for itself.
        auto* key = static_cast<QKeyEvent*>(Event);
        bool handled = false;
        Guarded([&] { handled = IsShortCut(key); });
        if (handled) {
            // Claiming the key keeps Qt's own shortcut handling from acting on it a second time; the
            // key press that follows is swallowed so that the key is not typed as well.
            FSwallowKey = key->keyCombination();
            Event->accept();
            return true;
        }
    }
    return QMainWindow::event(Event);
}

bool TFormMain::IsShortCut(QKeyEvent* Event)
{
    const QKeySequence key(Event->keyCombination());
    UpdateActions();
    for (QAction* action : FActions) {
        // Actions that live on another widget act only where that widget has the focus.
        if (action->shortcutContext() != Qt::WindowShortcut || !action->isEnabled()) continue;
        if (action->shortcuts().contains(key)) {
            action->trigger();
            return true;
        }
    }
    return FFrameAtelier->IsShortCut(Event);
}

bool TFormMain::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::KeyPress && FSwallowKey) {
        const bool same = static_cast<QKeyEvent*>(Event)->keyCombination() == *FSwallowKey;
        FSwallowKey.reset();
        if (same) return true;
    }
    if (Watched == FStatusPanels[2] && Event->type() == QEvent::Resize && FProgressBar->isVisible())
        FProgressBar->setGeometry(0, 0, std::max(FStatusPanels[2]->width() - 15, 10), FStatusPanels[2]->height());
    return QMainWindow::eventFilter(Watched, Event);
}

void TFormMain::dragEnterEvent(QDragEnterEvent* Event)
{
    if (Event->mimeData()->hasUrls()) Event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* Event)
{
    const TDropFiles drop(*Event);
    QStringList files;
    for (int i = 0; i < drop.Count(); ++i) files << drop.GetFileName(i);
    Event->acceptProposedAction();
    Guarded([&] { DropFiles(files); });
}
