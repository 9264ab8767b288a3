#include "CrashHandler.h"

#include "Exceptions.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <typeinfo>
#include <unistd.h>

namespace {
constexpr int Signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int SignalCount = int(std::size(Signals));
constexpr int MaxFrames = 64;
const char* const PendingPrefix = "crash-";
const char* const DismissedPrefix = "reported-";

// Everything the signal handler touches is prepared here, before any failure: the handler formats
// numbers by hand and writes with write(2) only.
struct TCrashState {
    bool Installed = false;
    int ReportFd = -1;
    QString ReportFileName;
    QByteArray Header;       // title and process, first in every report
    QByteArray NoticePrefix; // "\n<title> crashed"
    QByteArray NoticeSuffix; // ". A report was written to <file>.\n"
    struct sigaction Previous[SignalCount];
    std::terminate_handler PreviousTerminate = nullptr;
    TCrashReportHook Hook;
};

TCrashState& State()
{
    static TCrashState state;
    return state;
}

volatile sig_atomic_t Handling = 0;
alignas(16) char AlternateStack[64 * 1024];

void WriteAll(int fd, const char* text, size_t size)
{
    while (fd >= 0 && size > 0) {
        const ssize_t written = ::write(fd, text, size);
        if (written <= 0) return;
        text += written;
        size -= size_t(written);
    }
}

void WriteText(int fd, const char* text) { WriteAll(fd, text, std::strlen(text)); }
void WriteBytes(int fd, const QByteArray& bytes) { WriteAll(fd, bytes.constData(), size_t(bytes.size())); }

void WriteNumber(int fd, unsigned long long value, unsigned base)
{
    char digits[32];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    char text[34];
    int at = 0;
    if (base == 16) {
        text[at++] = '0';
        text[at++] = 'x';
    }
    while (n > 0) text[at++] = digits[--n];
    WriteAll(fd, text, size_t(at));
}

const char* SignalName(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV (invalid memory access)";
    case SIGBUS: return "SIGBUS (bus error)";
    case SIGFPE: return "SIGFPE (arithmetic error)";
    case SIGILL: return "SIGILL (illegal instruction)";
    case SIGABRT: return "SIGABRT (aborted)";
    default: return "signal";
    }
}

void WriteBacktrace(int fd)
{
    void* frames[MaxFrames];
    const int count = backtrace(frames, MaxFrames);
    WriteText(fd, "Backtrace (addr2line -Cfe <file> <+offset> names a frame):\n");
    backtrace_symbols_fd(frames, count, fd);
}

void TellStderr(const char* what)
{
    const TCrashState& state = State();
    WriteBytes(STDERR_FILENO, state.NoticePrefix);
    WriteText(STDERR_FILENO, ": ");
    WriteText(STDERR_FILENO, what);
    if (state.ReportFd >= 0) WriteBytes(STDERR_FILENO, state.NoticeSuffix);
    else WriteText(STDERR_FILENO, ".\n");
}

void OnSignal(int signal, siginfo_t* info, void*)
{
    if (!Handling) {
        Handling = 1;
        const TCrashState& state = State();
        const int fd = state.ReportFd;
        WriteBytes(fd, state.Header);
        WriteText(fd, "Signal: ");
        WriteText(fd, SignalName(signal));
        WriteText(fd, "\n");
        if (info && signal != SIGABRT) {
            WriteText(fd, "Address: ");
            WriteNumber(fd, reinterpret_cast<uintptr_t>(info->si_addr), 16);
            WriteText(fd, "\n");
        }
        WriteBacktrace(fd);
        if (fd >= 0) ::fsync(fd);
        TellStderr(SignalName(signal));
    }
    // The handler was reset on entry: the signal, raised again, ends the process as it would have
    // (a fault re-raises itself when the instruction runs again).
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

QString Demangled(const char* name)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    const QString text = QString::fromUtf8(status == 0 && demangled ? demangled : name);
    std::free(demangled);
    return text;
}

QString DescribeCurrentException()
{
    const std::exception_ptr error = std::current_exception();
    if (!error) return QStringLiteral("terminate called without an active exception");
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return QString::fromUtf8(e.ClassName()) + QStringLiteral(": ") + e.Message();
    } catch (const std::exception& e) {
        return Demangled(typeid(e).name()) + QStringLiteral(": ") + QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("an exception of unknown type");
    }
}

[[noreturn]] void OnTerminate()
{
    if (!Handling) {
        Handling = 1;
        TCrashState& state = State();
        const QString description = DescribeCurrentException();
        const QString what = QStringLiteral("uncaught exception: ") + description;
        const QByteArray whatBytes = what.toUtf8();
        WriteBytes(state.ReportFd, state.Header);
        WriteText(state.ReportFd, "Uncaught exception: ");
        WriteBytes(state.ReportFd, description.toUtf8());
        WriteText(state.ReportFd, "\n");
        WriteBacktrace(state.ReportFd);
        if (state.ReportFd >= 0) ::fsync(state.ReportFd);
        TellStderr(whatBytes.constData());
        if (state.Hook && state.ReportFd >= 0) {
            try {
                state.Hook(state.ReportFileName, what);
            } catch (...) {
            }
        }
    }
    // Ending the process must not write a second report for the abort.
    ::signal(SIGABRT, SIG_DFL);
    std::abort();
}

void UninstallAtExit() { UninstallCrashHandler(); }
} // namespace

QString DefaultCrashReportFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty()) return cache + QStringLiteral("/Atelier/crash");
    return QDir::tempPath() + QStringLiteral("/Atelier-crash");
}

bool InstallCrashHandler(const QString& Title, const QString& ReportFolder)
{
    UninstallCrashHandler();
    TCrashState& state = State();
    const QByteArray title = Title.toUtf8();
    const qint64 pid = ::getpid();
    const QDateTime started = QDateTime::currentDateTime();
    state.Header = title + " crash report\nProcess: " + QByteArray::number(pid) + ", started " +
                   started.toString(Qt::ISODate).toUtf8() + "\n";
    state.NoticePrefix = "\n" + title + " crashed";

    QDir().mkpath(ReportFolder);
    const QString name = QDir(ReportFolder).filePath(QString::fromLatin1(PendingPrefix) +
                                                     started.toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")) +
                                                     QLatin1Char('-') + QString::number(pid) + QStringLiteral(".txt"));
    state.ReportFd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (state.ReportFd >= 0) {
        state.ReportFileName = name;
        state.NoticeSuffix = ". A report was written to " + QFile::encodeName(name) + ".\n";
    }

    // backtrace() loads its unwinder on first use; do that now rather than inside a handler.
    void* frame[1];
    backtrace(frame, 1);

    stack_t stack{};
    stack.ss_sp = AlternateStack;
    stack.ss_size = sizeof(AlternateStack);
    sigaltstack(&stack, nullptr); // a stack overflow still gets its report
    struct sigaction action {};
    action.sa_sigaction = OnSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < SignalCount; ++i) sigaction(Signals[i], &action, &state.Previous[i]);
    state.PreviousTerminate = std::set_terminate(OnTerminate);

    static bool atExitRegistered = false;
    if (!atExitRegistered) {
        atExitRegistered = true;
        std::atexit(UninstallAtExit);
    }
    state.Installed = true;
    Handling = 0;
    return state.ReportFd >= 0;
}

void UninstallCrashHandler()
{
    TCrashState& state = State();
    if (!state.Installed) return;
    for (int i = 0; i < SignalCount; ++i) sigaction(Signals[i], &state.Previous[i], nullptr);
    std::set_terminate(state.PreviousTerminate);
    if (state.ReportFd >= 0) {
        struct stat info {};
        const bool empty = ::fstat(state.ReportFd, &info) == 0 && info.st_size == 0;
        ::close(state.ReportFd);
        if (empty) QFile::remove(state.ReportFileName);
    }
    state.ReportFd = -1;
    state.ReportFileName.clear();
    state.Installed = false;
}

QString CrashReportFileName() { return State().ReportFileName; }

void SetCrashReportHook(TCrashReportHook Hook) { State().Hook = std::move(Hook); }

QStringList PendingCrashReports(const QString& ReportFolder)
{
    QStringList reports;
    const QDir folder(ReportFolder);
    const QString current = QFileInfo(State().ReportFileName).fileName();
    for (const QFileInfo& file : folder.entryInfoList({QString::fromLatin1(PendingPrefix) + QStringLiteral("*.txt")},
                                                      QDir::Files, QDir::Name))
        if (file.size() > 0 && file.fileName() != current) reports.append(file.filePath());
    return reports;
}

void DismissCrashReport(const QString& ReportFileName)
{
    const QFileInfo file(ReportFileName);
    const QString name = file.fileName();
    if (!name.startsWith(QLatin1String(PendingPrefix))) return;
    QFile::rename(ReportFileName, file.dir().filePath(QString::fromLatin1(DismissedPrefix) +
                                                      name.mid(int(std::strlen(PendingPrefix)))));
}
