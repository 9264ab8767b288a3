#include "koAtelierFrameMenus.h"

#include "koAtelierFrame.h"
#include "platform/Format.h"

#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>

namespace {
// Qt must not see exceptions: event handlers run guarded.
void Guarded(const std::function<void()>& Handler) { GuardedCall(Handler); }
} // namespace

// The "View as" and "Edit as" menus

void TFrameAtelier::PopupPreview()
{
    if (!FViewResourceItem) {
        FPreviewMenuTag = nullptr;
        return;
    }
    if (FPreviewMenuTag == FViewResourceItem) return;
    FPreviewMenuTag = FViewResourceItem;
    FPopupActionBarPreview->clear();
    auto* group = new QActionGroup(FPopupActionBarPreview);
    ResourceItemViewDatabase()->Find(FViewResourceItem, [&](TResourceItemViewFactoryClass factory, bool&) {
        const QString caption = factory->CreateView()->GetCaption();
        QAction* action = FPopupActionBarPreview->addAction(Format("View as %s", {caption}));
        action->setCheckable(true);
        action->setChecked(group->actions().isEmpty());
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, factory, action] {
            Guarded([&] {
                AttachView(factory);
                action->setChecked(true);
            });
        });
    });
}

void TFrameAtelier::PopupEdit()
{
    if (!FEditResourceItem) {
        FEditMenuTag = nullptr;
        return;
    }
    if (FEditMenuTag != FEditResourceItem) {
        FEditMenuTag = FEditResourceItem;
        FPopupActionBarEdit->clear();
        auto* group = new QActionGroup(FPopupActionBarEdit);
        ResourceItemEditorDatabase()->Find(FEditResourceItem, [&](TResourceItemEditorFactoryClass factory, bool&) {
            const QString caption = factory->CreateEditor()->GetCaption();
            QAction* action = FPopupActionBarEdit->addAction(Format("Edit as %s", {caption}));
            action->setCheckable(true);
            action->setChecked(group->actions().isEmpty());
            group->addAction(action);
            connect(action, &QAction::triggered, this, [this, factory, action] {
                Guarded([&] {
                    AttachEditor(factory);
                    action->setChecked(true);
                });
            });
        });
    }
    // The editor's own commands follow its entries.
    if (FResourceItemEditor) {
        QWidget* control = FResourceItemEditor->GetControl();
        if (control && control->contextMenuPolicy() == Qt::ActionsContextMenu && !control->actions().isEmpty()) {
            FPopupActionBarEdit->addSeparator();
            for (QAction* action : control->actions()) {
                control->removeAction(action);
                FPopupActionBarEdit->addAction(action);
            }
        }
    }
}

// Keyboard

// The first enabled action of the control, or of any widget inside it, that has the key as shortcut.
bool TriggerShortcut(QWidget* Control, const QKeySequence& Key)
{
    if (!Control) return false;
    QList<QAction*> actions = Control->actions();
    for (QWidget* child : Control->findChildren<QWidget*>()) actions += child->actions();
    actions += Control->findChildren<QAction*>();
    for (QAction* action : actions)
        if (action->isEnabled() && action->shortcuts().contains(Key)) {
            action->trigger();
            return true;
        }
    return false;
}

bool TFrameAtelier::IsShortCut(QKeyEvent* Event)
{
    const QKeySequence key(Event->keyCombination());
    if (FResourceItemEditor && TriggerShortcut(FResourceItemEditor->GetControl(), key)) return true;
    return FResourceItemView && TriggerShortcut(FResourceItemView->GetControl(), key);
}
