#include "Units.h"
#include "shell/StartupWindow.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Atelier"));
    InitializeUnits();
    int result;
    {
        auto window = CreateStartupWindow();
        window->show();
        result = QApplication::exec();
    }
    FinalizeUnits();
    return result;
}
