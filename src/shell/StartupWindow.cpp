#include "StartupWindow.h"

#include <QLabel>
#include <QMainWindow>

std::unique_ptr<QMainWindow> CreateStartupWindow()
{
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(QStringLiteral("Atelier"));
    auto* label = new QLabel(QStringLiteral("No module open"), window.get());
    label->setAlignment(Qt::AlignCenter);
    window->setCentralWidget(label);
    window->resize(900, 600);
    return window;
}
