// Opens a change batch (BeginUpdate) for the lifetime of a scope and closes it (EndUpdate) also when
// the scope is left by an exception. An error while closing during unwinding is dropped so the first
// error reaches the caller.
#pragma once

#include <exception>

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
