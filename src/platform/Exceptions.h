// Exception classes of the platform layer. Every failure the model raises derives from Exception and
// carries the user-visible message text; EAbort cancels an operation without a message.
#pragma once

#include <QString>
#include <QByteArray>
#include <exception>
#include <functional>

class Exception : public std::exception {
public:
    explicit Exception(const QString& message);
    ~Exception() override;
    const QString& Message() const { return FMessage; }
    const char* what() const noexcept override;
    // The name of the exception class, as the application's error report shows it.
    virtual const char* ClassName() const { return "Exception"; }

private:
    QString FMessage;
    QByteArray FWhat;
};

#define ATELIER_EXCEPTION_CLASS(Name, Base)                                  \
    class Name : public Base {                                                \
    public:                                                                   \
        using Base::Base;                                                     \
        const char* ClassName() const override { return #Name; }              \
    };

ATELIER_EXCEPTION_CLASS(EAbort, Exception)
ATELIER_EXCEPTION_CLASS(EConvertError, Exception)
ATELIER_EXCEPTION_CLASS(EListError, Exception)
ATELIER_EXCEPTION_CLASS(EOSError, Exception)
ATELIER_EXCEPTION_CLASS(EAssertionFailed, Exception)
ATELIER_EXCEPTION_CLASS(EInvalidOperation, Exception)
ATELIER_EXCEPTION_CLASS(EStreamError, Exception)
ATELIER_EXCEPTION_CLASS(EReadError, EStreamError)
ATELIER_EXCEPTION_CLASS(EWriteError, EStreamError)
ATELIER_EXCEPTION_CLASS(EFOpenError, EStreamError)
ATELIER_EXCEPTION_CLASS(EFCreateError, EStreamError)

// Raises the silent EAbort.
[[noreturn]] void Abort();

// Raises EOSError with the text of the given errno value (the current errno when 0).
[[noreturn]] void RaiseLastOSError(int error = 0);

[[noreturn]] void AssertionFailure(const char* condition, const char* file, int line);

// Programming errors; checked in every build so that tests can provoke them.
#define ATELIER_ASSERT(cond)                                                 \
    do {                                                                      \
        if (!(cond)) ::AssertionFailure(#cond, __FILE__, __LINE__);           \
    } while (false)

// The application's handler for exceptions that must not stop a loop (subscribers that raise while
// being notified). Returns false when no handler is installed, so the caller rethrows.
using TApplicationExceptionHandler = std::function<void(std::exception_ptr)>;
TApplicationExceptionHandler SetApplicationExceptionHandler(TApplicationExceptionHandler handler);
bool HandleApplicationException(std::exception_ptr error);
// For a catch block of an event handler, which no exception may leave: the current exception goes to the
// application's handler, or is written to the log without one. A silent abort is dropped.
void HandleEventException();
// Runs an event handler under HandleEventException.
void GuardedCall(const std::function<void()>& Handler);
