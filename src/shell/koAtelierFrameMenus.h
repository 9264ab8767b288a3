// The "View as" and "Edit as" menus of the preview and editor panes, and the keys of their frames.
#pragma once

#include <QKeySequence>

class QWidget;

// The first enabled action of the control, or of any widget inside it, that has the key as shortcut.
bool TriggerShortcut(QWidget* Control, const QKeySequence& Key);
