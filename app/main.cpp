#include "Units.h"
#include "model/VersionInfo.h"
#include "platform/CrashHandler.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "shell/koSplash.h"
#include "shell/main.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Qt must not see an exception leave an event handler: ordinary ones go to the window's exception filter.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* Receiver, QEvent* Event) override
    {
        try {
            return QApplication::notify(Receiver, Event);
        } catch (...) {
            if (!HandleApplicationException(std::current_exception())) throw;
            return false;
        }
    }
};

// A request to end (SIGTERM, SIGINT) quits the event loop, so the window saves its settings on the way
// out. The signal handler only writes to a socket; the loop does the rest.
int TerminateSockets[2] = {-1, -1};

void TerminateSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(TerminateSockets[0], &byte, 1);
}

void HandleTerminateSignals(QObject* Parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, TerminateSockets) != 0) return;
    auto* notifier = new QSocketNotifier(TerminateSockets[1], QSocketNotifier::Read, Parent);
    QObject::connect(notifier, &QSocketNotifier::activated, Parent, [notifier] {
        notifier->setEnabled(false);
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(TerminateSockets[1], &byte, 1);
        QApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = TerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Atelier"));
    const TVersionInfo version = ProgramVersionInfo();
    InstallCrashHandler(QStringLiteral("Atelier ") + TVersionInfo::VersionToString(version.FileVersion()));
    SetCrashReportHook([](const QString& report, const QString& what) {
        QMessageBox::critical(nullptr, QStringLiteral("Atelier"),
                              QStringLiteral("Atelier met an error it cannot recover from:\n%1\n\nA report was written to\n%2")
                                  .arg(what, report));
    });
    InitializeUnits();
    HandleTerminateSignals(&app);
    int result;
    {
        const QStringList arguments = QApplication::arguments().mid(1);
        TFormMain window;
        window.SetCommandLine(arguments);
        if (arguments.isEmpty() && !DebuggerAttached() && QGuiApplication::platformName() != QLatin1String("offscreen")) {
            auto* splash = new TFormSplash(nullptr);
            splash->setAttribute(Qt::WA_DeleteOnClose);
            try {
                splash->Execute(true, QStringLiteral("SPLASH"), QStringLiteral("PNG"));
            } catch (const Exception&) {
                delete splash;
            }
            window.setAttribute(Qt::WA_ShowWithoutActivating);
        }
        window.show();
        // Reports that earlier runs left behind are offered once.
        QTimer::singleShot(0, &window, [&window] {
            for (const QString& report : PendingCrashReports()) {
                QMessageBox::information(&window, QStringLiteral("Atelier"),
                                         QStringLiteral("Atelier ended unexpectedly last time. A report was written to\n%1").arg(report));
                DismissCrashReport(report);
            }
        });
        result = QApplication::exec();
    }
    FinalizeUnits();
    UninstallCrashHandler();
    return result;
}
