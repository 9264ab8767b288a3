#include "Exceptions.h"

#include <QtGlobal>
#include <cerrno>
#include <cstring>

Exception::Exception(const QString& message) : FMessage(message), FWhat(message.toUtf8()) {}

Exception::~Exception() = default;

const char* Exception::what() const noexcept { return FWhat.constData(); }

void Abort() { throw EAbort(QStringLiteral("Operation aborted")); }

void RaiseLastOSError(int error)
{
    if (error == 0) error = errno;
    throw EOSError(QStringLiteral("System Error.  Code: %1.\n%2")
                       .arg(error)
                       .arg(QString::fromLocal8Bit(std::strerror(error))));
}

void AssertionFailure(const char* condition, const char* file, int line)
{
    throw EAssertionFailed(QStringLiteral("Assertion failed: %1 (%2, line %3)")
                               .arg(QString::fromUtf8(condition), QString::fromUtf8(file))
                               .arg(line));
}

namespace {
TApplicationExceptionHandler& applicationHandler()
{
    static TApplicationExceptionHandler handler;
    return handler;
}
} // namespace

TApplicationExceptionHandler SetApplicationExceptionHandler(TApplicationExceptionHandler handler)
{
    TApplicationExceptionHandler previous = std::move(applicationHandler());
    applicationHandler() = std::move(handler);
    return previous;
}

bool HandleApplicationException(std::exception_ptr error)
{
    auto& handler = applicationHandler();
    if (!handler) return false;
    handler(error);
    return true;
}

void HandleEventException()
{
    const std::exception_ptr error = std::current_exception();
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return;
    } catch (...) {
    }
    if (HandleApplicationException(error)) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        qWarning("%s", e.what());
    } catch (...) {
        qWarning("Unknown exception in an event handler");
    }
}

void GuardedCall(const std::function<void()>& Handler)
{
    try {
        Handler();
    } catch (...) {
        HandleEventException();
    }
}
