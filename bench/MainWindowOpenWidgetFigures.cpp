// Opens a module in the real main window twice, from File > Open (through the dialog seam) and as the
// command-line file, printing wall and CPU time of each: both paths should cost the same, since the
// status bar paints its progress only a few times a second.
// Usage: MainWindowOpenWidgetFigures [FILE]   (default: shell32.dll of the wine64 package)
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "editors/koAtelierBinary.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "platform/PublishedProperties.h"
#include "shell/koAtelier.h"
#include "shell/koConfigurationService.h"
#include "shell/main.h"
#include "views/koResourceViewGeneric.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <ctime>

namespace {
class TOpenPrompts : public IMainFormPrompts {
public:
    explicit TOpenPrompts(QString file) : FFile(std::move(file)) {}
    TAnswer Confirm(QWidget*, const QString&) override { return paNo; }
    bool Warning(QWidget*, const QString&, bool) override { return false; }
    void Information(QWidget*, const QString&) override {}
    void Error(QWidget*, const QString&, const QString& text) override
    {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
    }
    bool ExecuteOpen(QWidget*, TOpenDialogState& state) override
    {
        state.FileName = FFile;
        return true;
    }
    bool ExecuteSave(QWidget*, TSaveModuleDialog&) override { return false; }
    bool ExecuteSaveFile(QWidget*, TOpenDialogState&) override { return false; }

private:
    QString FFile;
};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct TFigure {
    double Wall, Cpu;
};

template <class F>
TFigure Measure(F&& run)
{
    QElapsedTimer wall;
    const double cpu = CpuSeconds();
    wall.start();
    run();
    QCoreApplication::processEvents();
    return {double(wall.nsecsElapsed()) / 1e9, CpuSeconds() - cpu};
}
} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll");
    if (!QFileInfo::exists(file)) {
        std::printf("%s not found: nothing measured\n", qPrintable(file));
        return 0;
    }
    PublishedProperties_Initialize();
    koResourcesKinds_Initialize();
    koResourceModuleRes_Initialize();
    koResourceModulePE_Initialize();
    koResourceViewGeneric_Initialize();
    koAtelierBinary_Initialize();
    SetConfigurationServiceFactory(TDummyConfigurationServiceFactory::ClassInfo());
    {
        TFormMain form(std::make_unique<TOpenPrompts>(file));
        form.show();
        QCoreApplication::processEvents();
        const int rounds = 3;
        TFigure menu{0, 0}, commandLine{0, 0};
        for (int i = 0; i < rounds; ++i) {
            const TFigure m = Measure([&] { form.Action(QStringLiteral("ActionFileOpen"))->trigger(); });
            const TFigure c = Measure([&] { form.LoadFile(file); });
            menu = {menu.Wall + m.Wall / rounds, menu.Cpu + m.Cpu / rounds};
            commandLine = {commandLine.Wall + c.Wall / rounds, commandLine.Cpu + c.Cpu / rounds};
        }
        std::printf("%s (%lld bytes), mean of %d opens\n", qPrintable(QFileInfo(file).fileName()),
                    static_cast<long long>(QFileInfo(file).size()), rounds);
        std::printf("  File > Open:   %.3f s wall, %.3f s CPU\n", menu.Wall, menu.Cpu);
        std::printf("  command line:  %.3f s wall, %.3f s CPU\n", commandLine.Wall, commandLine.Cpu);
        std::printf("  ratio (menu / command line): %.2f\n", commandLine.Wall > 0 ? menu.Wall / commandLine.Wall : 0.0);
        form.close();
    }
    koAtelier_Finalize();
    return 0;
}
