// The window the program shows until the real main window exists: the workspace, with the module
// named on the command line when there is one.
#pragma once

#include <QString>
#include <memory>

class QMainWindow;

std::unique_ptr<QMainWindow> CreateStartupWindow(const QString& Filename = {});
