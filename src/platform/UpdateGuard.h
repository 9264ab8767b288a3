// Opens a change batch (BeginUpdate) for the lifetime of a scope and closes it (EndUpdate) also when
// the scope is left by an exception. An error while closing during unwinding is dropped so the first
// error reaches the caller.
#pragma once

#include <exception>
#include <functional>

template <typename T>
class TUpdateGuard {
public:
    explicit TUpdateGuard(T* target) : FTarget(target), FExceptions(std::uncaught_exceptions())
    {
        FTarget->BeginUpdate();
    }
    TUpdateGuard(const TUpdateGuard&) = delete;
    TUpdateGuard& operator=(const TUpdateGuard&) = delete;
    ~TUpdateGuard() noexcept(false)
    {
        if (std::uncaught_exceptions() > FExceptions) {
            try {
                FTarget->EndUpdate();
            } catch (...) {
            }
        } else {
            FTarget->EndUpdate();
        }
    }

private:
    T* FTarget;
    int FExceptions;
};

// Runs a function when the scope is left, however it is left (a "finally" block). An error of the
// function while an exception unwinds is dropped so the first error reaches the caller.
class TFinally {
public:
    explicit TFinally(std::function<void()> action)
        : FAction(std::move(action)), FExceptions(std::uncaught_exceptions())
    {
    }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;
    ~TFinally() noexcept(false)
    {
        if (!FAction) return;
        if (std::uncaught_exceptions() > FExceptions) {
            try {
                FAction();
            } catch (...) {
            }
        } else {
            FAction();
        }
    }

private:
    std::function<void()> FAction;
    int FExceptions;
};
