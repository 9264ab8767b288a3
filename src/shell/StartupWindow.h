// The window the program shows until the real main window exists.
#pragma once

#include <memory>

class QMainWindow;

std::unique_ptr<QMainWindow> CreateStartupWindow();
