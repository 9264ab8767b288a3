#pragma once

// The mouse wheel goes to the control under the mouse, not to the focused one. Qt already delivers
// wheel events that way and passes them up to the parents, so forms need no subclass for it; this
// routing serves the places that receive a wheel event meant for another control (the workspace and
// the form designer).

#include <QPoint>
#include <Qt>

class QWidget;

// Offers the wheel to the control under mousePos (global) and then to its parents, stopping at
// root and at a control that has the focus. True when one of them took it.
bool RouteMouseWheel(QWidget* root, Qt::KeyboardModifiers shift, int wheelDelta, const QPoint& mousePos);
