#include "shell/StartupWindow.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Atelier"));
    auto window = CreateStartupWindow();
    window->show();
    return QApplication::exec();
}
