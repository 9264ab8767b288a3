// The main window: menus and actions, the module commands (new, open, recent files, revert, save,
// save as, dropped files), the save prompt, the caption that tracks unsaved changes, progress in the
// status bar, the Messages pane, and the settings of the window and its folders.
#pragma once

#include "koConfigurationService.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesMessages.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QDialog;
class QKeyEvent;
class QLabel;
class QMenu;
class QProgressBar;
class QTreeWidget;
class TFrameAtelier;
class TFormMain;
class TSearchReplace;
class TWorkspacePane;
class TFramePropertyInspector;
class TCustomResourceModule;

// Settings of a window: where it was and whether it was maximized.
class TCustomFormSettings : public TCustomSettings {
    Q_OBJECT
    Q_PROPERTY(bool Valid MEMBER FValid)
    Q_PROPERTY(int Top MEMBER FTop)
    Q_PROPERTY(int Left MEMBER FLeft)
    Q_CLASSINFO("default:Valid", "false")

public:
    explicit TCustomFormSettings(QWidget* Owner);
    bool Valid() const { return FValid; }
    void ResetDefaults() override;
    bool ApplySettings() override;
    bool UpdateSettings() override;

protected:
    QWidget* FOwner;
    bool FValid = false;
    int FTop = 0;
    int FLeft = 0;
    int FWidth = -1;
    int FHeight = -1;
    bool FMaximized = false;
    bool FVisible = false;
    QRect FNormalFromFrame; // the normal geometry a maximized window was given before it had a frame
};

class TAtelierFormMainSettings : public TCustomFormSettings {
    Q_OBJECT
    Q_PROPERTY(int Width MEMBER FWidth)
    Q_PROPERTY(int Height MEMBER FHeight)
    Q_PROPERTY(bool Maximized MEMBER FMaximized)
    Q_CLASSINFO("default:Width", "-1")
    Q_CLASSINFO("default:Height", "-1")
    Q_CLASSINFO("default:Maximized", "false")

public:
    using TCustomFormSettings::TCustomFormSettings;
};

// The last folder and file type of the open dialog, and the histories of opened and saved files.
class TAtelierFolderSettings : public TCustomSettings {
    Q_OBJECT
    Q_PROPERTY(bool Valid MEMBER FValid)
    Q_PROPERTY(int LastFileType MEMBER FLastFileType)
    Q_PROPERTY(QString LastFolder MEMBER FLastFolder)
    Q_PROPERTY(TSettingsStringList* OpenHistory READ OpenHistory)
    Q_PROPERTY(TSettingsStringList* SaveHistory READ SaveHistory)
    Q_CLASSINFO("default:Valid", "false")

public:
    explicit TAtelierFolderSettings(QObject* Parent = nullptr);
    bool Valid() const { return FValid; }
    void SetValid(bool Value) { FValid = Value; }
    int LastFileType() const { return FLastFileType; }
    void SetLastFileType(int Value) { FLastFileType = Value; }
    QString LastFolder() const { return FLastFolder; }
    void SetLastFolder(const QString& Value) { FLastFolder = Value; }
    TSettingsStringList* OpenHistory() const { return FOpenHistory; }
    TSettingsStringList* SaveHistory() const { return FSaveHistory; }
    void ResetDefaults() override;
    bool ApplySettings() override { return true; }
    bool UpdateSettings() override { return true; }

private:
    bool FValid = false;
    int FLastFileType = 0;
    QString FLastFolder;
    TSettingsStringList* FOpenHistory; // owned as children
    TSettingsStringList* FSaveHistory;
};

// The state of the open dialog as the window prepares and reads it.
struct TOpenDialogState {
    QString Title;
    QString Filter; // "Description (*.a;*.b)|*.a;*.b|..."
    int FilterIndex = 1; // 1-based
    QString InitialDir;
    QStringList History;
    QString FileName;
    // The workspace's item dialogs: the extension a name without one gets, and the chosen files.
    QString DefaultExt;
    bool MultiSelect = false;
    QStringList FileNames;
};

// The save dialog with its encoding row and Options button.
class TSaveModuleDialog : public QObject {
    Q_OBJECT

public:
    explicit TSaveModuleDialog(TFormMain* Owner);

    QString Title() const { return FTitle; }
    QString Filter() const { return FFilter; }
    void SetFilter(const QString& Value) { FFilter = Value; }
    int FilterIndex() const { return FFilterIndex; }
    void SetFilterIndex(int Value) { FFilterIndex = Value; }
    QString FileName() const { return FFileName; }
    void SetFileName(const QString& Value) { FFileName = Value; }
    QStringList History() const { return FHistory; }
    void SetHistory(const QStringList& Value) { FHistory = Value; }

    QStringList Encodings() const { return FEncodings; }
    void SetEncodings(const QStringList& Value);
    int EncodingIndex() const { return FEncodingIndex; }
    void SetEncodingIndex(int Value);
    bool EncodingEnabled() const { return FEncodingEnabled; }
    void SetEncodingEnabled(bool Value);
    bool HasOptions() const { return FHasOptions; }
    void SetHasOptions(bool Value) { FHasOptions = Value; }
    bool OptionsEnabled() const { return FOptionsEnabled; }
    void SetOptionsEnabled(bool Value);
    bool Running() const { return FRunning; }

    // Shows the dialog through the window's prompts; true when the user confirmed.
    bool Execute();
    // The user chose another file type (FilterIndex already holds it) or pressed Options.
    std::function<void(TSaveModuleDialog&)> OnTypeChange;
    std::function<void()> OnOptionsClick;

Q_SIGNALS:
    // The dialog on screen follows these.
    void EncodingsChanged();
    void FileNameChanged(const QString& Name);

private:
    friend class TFormMain;
    TFormMain* FOwner;
    QString FTitle;
    QString FFilter;
    int FFilterIndex = 1;
    QString FFileName;
    QStringList FHistory;
    QStringList FEncodings;
    int FEncodingIndex = -1;
    bool FEncodingEnabled = true;
    bool FHasOptions = false;
    bool FOptionsEnabled = false;
    bool FRunning = false;
};

// What the window asks of the person in front of it. Tests answer with a script.
class IMainFormPrompts {
public:
    enum TAnswer { paYes, paNo, paCancel };
    virtual ~IMainFormPrompts() = default;
    // Yes, No and Cancel, Yes the default.
    virtual TAnswer Confirm(QWidget* Parent, const QString& Text) = 0;
    // OK and Cancel; true for OK.
    virtual bool Warning(QWidget* Parent, const QString& Text, bool OkDefault) = 0;
    virtual void Information(QWidget* Parent, const QString& Text) = 0;
    // The box of a failure that the program survives.
    virtual void Error(QWidget* Parent, const QString& Caption, const QString& Text) = 0;
    virtual bool ExecuteOpen(QWidget* Parent, TOpenDialogState& State) = 0;
    virtual bool ExecuteSave(QWidget* Parent, TSaveModuleDialog& Dialog) = 0;
    // A plain save dialog that asks before replacing a file; State.FileName holds the choice.
    virtual bool ExecuteSaveFile(QWidget* Parent, TOpenDialogState& State) = 0;
    // A modal form of the window (the search forms, the replace confirmation); its result as
    // QDialog::exec gives it.
    virtual int ExecuteModal(QDialog& Form);
};

// The prompts of Qt's message boxes and file dialogs.
std::unique_ptr<IMainFormPrompts> CreateMainFormPrompts();

// Qt file dialog name filters of a "Description (*.a;*.b)|*.a;*.b|..." filter.
QStringList DialogFilterToNameFilters(const QString& Filter);

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFormMain(std::unique_ptr<IMainFormPrompts> Prompts = CreateMainFormPrompts(), QWidget* Parent = nullptr);
    ~TFormMain() override;

    TFrameAtelier* FrameAtelier() const { return FFrameAtelier; }
    IMainFormPrompts& Prompts() const { return *FPrompts; }
    TSaveModuleDialog* SaveModuleDialog() const { return FSaveModuleDialog; }
    TSearchReplace* SearchReplace() const { return FSearchReplace.get(); }
    TAtelierFolderSettings* SettingsFolder() const { return FSettingsFolder.get(); }
    QString Filename() const { return FFilename; }
    bool Dirty() const { return FDirty; }
    bool CanSave() const { return FCanSave; }

    // Module commands
    bool CheckSave();
    void NewFile();
    void LoadFile(const QString& FileName);
    bool SaveFile(bool SaveAs);
    void OpenFile();
    void Revert();
    bool CanOpenModule(const QString& FileName);
    // Files dropped on the window: a module opens, other files become resources of the open module.
    void DropFiles(const QStringList& Files);
    void OpenCommandLine(const QStringList& Arguments);
    // The arguments after the program's name; the first is opened once the window shows.
    void SetCommandLine(const QStringList& Arguments) { FCommandLine = Arguments; }
    void WriteSymbolList();
    void ReadSymbolList();

    // Change tracking
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    void ModuleChanged();
    void TrackModule(TCustomResourceModule* Module);
    void UpdateCaption();

    // Progress of loading and saving, shown in the status bar.
    void ShowProgress(TResourceProgressStage Stage, int CurrentProgress, int MaxProgress, const QString& Msg);
    QString StatusText(int Panel) const;
    QProgressBar* ProgressBar() const { return FProgressBar; }

    // Messages pane
    QTreeWidget* ListViewMessages() const { return FListViewMessages; }
    void LogMessage(const IResourceMessagePtr& Msg);
    void MessagePaneHide();
    QWidget* MessagesPane() const;
    QWidget* PropertiesPane() const;
    TFramePropertyInspector* FramePropertyInspector() const { return FFramePropertyInspector; }

    // The recent files menu is rebuilt each time it opens.
    void UpdateRecentMenu();
    QMenu* RecentMenu() const { return FMenuRecent; }

    // Shows a failure the program survives; failed assertions and the like go to the crash handler.
    void ExceptionFilter(std::exception_ptr Error);

    QAction* Action(const QString& Name) const;
    // Offers a key to the window's own actions, then to the workspace (editor, then view); true when
    // one of them acted on it.
    bool IsShortCut(QKeyEvent* Event);

protected:
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    bool event(QEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    class TModuleTracker;
    class TMessageLogSubscriber;

    void CreateActions();
    void CreateMenus();
    void CreateStatusBar();
    void CreatePanes();
    QAction* AddAction(const QString& Name, const QString& Caption, const QString& Hint,
                       const std::function<void()>& Execute, const QKeySequence& Shortcut = {});
    void SetFilename(const QString& Name);
    void ResetModuleState();
    void UpdateActions();
    void UpdateSaveEncodings(TSaveModuleDialog& Dialog, const QString& FileName);
    void UpdateSaveOptions(TSaveModuleDialog& Dialog, const QString& FileName);
    void SaveDialogTypeChange(TSaveModuleDialog& Dialog);
    void SaveOptionsClick();
    void MessagesCopy();
    void MessagesViewItem();
    void Guarded(const std::function<void()>& Handler);

    std::unique_ptr<IMainFormPrompts> FPrompts;
    TFrameAtelier* FFrameAtelier = nullptr;
    TSaveModuleDialog* FSaveModuleDialog = nullptr;
    bool FDirty = false;
    QString FFilename;
    int FUpdateCount = 0;
    IResourceFileTypeGroupsPtr FFileTypeGroups;
    bool FCanSave = false;
    std::unique_ptr<TAtelierFolderSettings> FSettingsFolder;
    std::unique_ptr<TAtelierFormMainSettings> FSettingsMain;
    TCustomResourceModule* FTrackModule = nullptr;
    std::unique_ptr<TModuleTracker> FModuleTracker;
    std::shared_ptr<TMessageLogSubscriber> FMessageLogSubscriber;
    std::shared_ptr<IResourceModuleFilerOptions> FModuleFilerOptions;
    std::shared_ptr<IResourceModuleFilerOptionsDialog> FModuleFilerOptionsDialog;
    QObject* FModuleWriterOptions = nullptr;

    TWorkspacePane* FPanelMessages = nullptr;
    TWorkspacePane* FPanelPropertyInspector = nullptr;
    TFramePropertyInspector* FFramePropertyInspector = nullptr;
    TItemPropertyInspectorHook FPreviousPropertyInspectorHook;
    QTreeWidget* FListViewMessages = nullptr;
    QLabel* FStatusPanels[3] = {nullptr, nullptr, nullptr};
    QProgressBar* FProgressBar = nullptr;
    QMenu* FMenuRecent = nullptr;
    QMenu* FMenuDebug = nullptr;
    std::vector<QAction*> FRecentActions;
    QList<QAction*> FActions;
    bool FCommandLinePosted = false;
    QStringList FCommandLine;
    bool FClosing = false;
    // The key press that follows a shortcut the window acted on.
    std::optional<QKeyCombination> FSwallowKey;
    QElapsedTimer FProgressClock;
    std::unique_ptr<TSearchReplace> FSearchReplace;
};
