#include "koAtelierFramework.h"

namespace {
IAtelier*& Current()
{
    static IAtelier* current = nullptr;
    return current;
}
} // namespace

IAtelier* CurrentAtelier() { return Current(); }

void RegisterAtelier(IAtelier* Atelier, IAtelier*& Previous)
{
    Previous = Current();
    Current() = Atelier;
}

void UnregisterAtelier(IAtelier* Atelier)
{
    if (Current() == Atelier) Current() = nullptr;
}

void koAtelierFramework_Finalize() { Current() = nullptr; }
