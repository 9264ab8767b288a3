// Crashes in a forked child: the report it leaves, what stderr says, how the process ends, and the
// reports the next run is offered.
#include "platform/CrashHandler.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ThrowReadError() { throw EReadError(QStringLiteral("Stream read error")); }
void CallWithoutExceptions(void (*call)()) noexcept { call(); }

class CrashHandler : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    // Runs body in a child that installed the handler, its stderr going to a file; returns the wait status.
    int RunCrashing(const std::function<void()>& body)
    {
        const pid_t pid = fork();
        if (pid == 0) {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            const int err = ::open(QFile::encodeName(Dir.filePath("stderr.txt")).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, STDERR_FILENO);
            if (!InstallCrashHandler(QStringLiteral("Atelier test"), Reports())) _exit(90);
            body();
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }

    QString Reports() const { return Dir.filePath("reports"); }

    QTemporaryDir Dir;
};
} // namespace

TEST_F(CrashHandler, FatalSignalsLeaveAReportAndEndTheProcess)
{
    const std::tuple<int, const char*, std::function<void()>> crashes[] = {
        {SIGSEGV, "SIGSEGV", [] {
             int* volatile nowhere = nullptr;
             *nowhere = 1;
         }},
        {SIGFPE, "SIGFPE", [] { std::raise(SIGFPE); }},
        {SIGILL, "SIGILL", [] { std::raise(SIGILL); }},
        {SIGBUS, "SIGBUS", [] { std::raise(SIGBUS); }},
        {SIGABRT, "SIGABRT", [] { std::abort(); }},
    };
    for (const auto& [signal, name, crash] : crashes) {
        SCOPED_TRACE(name);
        const int status = RunCrashing(crash);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), signal);

        const QStringList reports = PendingCrashReports(Reports());
        ASSERT_EQ(reports.size(), 1);
        const QByteArray report = ReadAll(reports.first());
        EXPECT_TRUE(report.startsWith("Atelier test crash report\n")) << report.constData();
        EXPECT_EQ(report.count("crash report"), 1) << report.constData();
        EXPECT_TRUE(report.contains(QByteArray(QByteArray("\nSignal: ") + name))) << report.constData();
        EXPECT_TRUE(report.contains("Backtrace")) << report.constData();
        // Frames of this very program, symbolized with its file name.
        EXPECT_TRUE(report.contains("platform_tests")) << report.constData();
        EXPECT_TRUE(ReadAll(Dir.filePath("stderr.txt")).contains(QFile::encodeName(reports.first())));
        QFile::remove(reports.first());
    }
    EXPECT_TRUE(ReadAll(Dir.filePath("stderr.txt")).contains("Atelier test crashed: SIGABRT"));
}

TEST_F(CrashHandler, UncaughtExceptionIsReportedOnceWithItsMessageAndTheHookIsTold)
{
    const QString hookFile = Dir.filePath("hook.txt");
    const int status = RunCrashing([hookFile] {
        SetCrashReportHook([hookFile](const QString& report, const QString& what) {
            QFile f(hookFile);
            if (f.open(QIODevice::WriteOnly)) f.write((report + QLatin1Char('\n') + what).toUtf8());
        });
        CallWithoutExceptions(ThrowReadError);
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);

    const QStringList reports = PendingCrashReports(Reports());
    ASSERT_EQ(reports.size(), 1);
    const QByteArray report = ReadAll(reports.first());
    EXPECT_TRUE(report.contains("Uncaught exception: EReadError: Stream read error\n")) << report.constData();
    EXPECT_FALSE(report.contains("Signal:")) << report.constData();
    EXPECT_EQ(QString::fromUtf8(ReadAll(hookFile)), reports.first() + "\nuncaught exception: EReadError: Stream read error");
}

TEST_F(CrashHandler, CleanRunsLeaveNothingAndDismissedReportsAreKeptButNotOffered)
{
    int status = RunCrashing([] { UninstallCrashHandler(); });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(QDir(Reports()).entryList(QDir::Files).isEmpty());

    status = RunCrashing([] { std::abort(); });
    const QStringList reports = PendingCrashReports(Reports());
    ASSERT_EQ(reports.size(), 1);
    DismissCrashReport(reports.first());
    EXPECT_TRUE(PendingCrashReports(Reports()).isEmpty());
    ASSERT_EQ(QDir(Reports()).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(ReadAll(QDir(Reports()).entryInfoList(QDir::Files).first().filePath()).contains("SIGABRT"));

    // This run's own report is never offered as an earlier run's.
    ASSERT_TRUE(InstallCrashHandler(QStringLiteral("Atelier test"), Reports()));
    const QString own = CrashReportFileName();
    QFile f(own);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("something");
    f.close();
    EXPECT_TRUE(PendingCrashReports(Reports()).isEmpty());
    UninstallCrashHandler();
    QFile::remove(own);
}
