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
        const QStringList arguments = QApplication::arguments();
        auto window = CreateStartupWindow(arguments.size() > 1 ? arguments.at(1) : QString());
        window->show();
        result = QApplication::exec();
    }
    FinalizeUnits();
    return result;
}
