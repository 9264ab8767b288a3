#include "koUndoService.h"

#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/TempFiles.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace {

const char* const SCannotCreateUndoFile = "Cannot create undo file: %sundo%.8X.tmp";
const char* const SListIndexError = "List index out of bounds (%d)";
const char* const SRedoAction = "redo";

// Names already taken in the temporary folder are skipped; past this many the folder is given up
// (trying every 32-bit value would hang when the folder cannot be written).
const int MaxNameTries = 256;

// One counter for the process, started at a clock value, so that stacks alive at once get different
// names although every file is unlinked as soon as it is made.
uint32_t NextFileNumber()
{
    static std::atomic<uint32_t> counter{static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count())};
    return counter.fetch_add(1);
}

} // namespace

// TUndoProviders

void TUndoProviders::SaveState(TStream& Stream)
{
    TMemoryStream scratch;
    for (size_t i = 0; i < FProviders.size(); ++i) {
        scratch.SetPosition(0);
        FProviders[i]->SaveState(scratch);
        const int64_t size = scratch.Position();
        if (size > 0) {
            Stream.WriteDWord(static_cast<uint32_t>(i));
            Stream.WriteQWord(static_cast<uint64_t>(size));
            Stream.WriteBuffer(scratch.Memory(), size);
        }
    }
    Stream.WriteDWord(static_cast<uint32_t>(-1));
}

void TUndoProviders::RestoreState(TStream& Stream)
{
    TMemoryStream scratch;
    for (;;) {
        uint8_t header[8];
        if (Stream.Read(header, 4) < 4) return;
        const auto index = static_cast<int32_t>(uint32_t(header[0]) | (uint32_t(header[1]) << 8) |
                                                (uint32_t(header[2]) << 16) | (uint32_t(header[3]) << 24));
        if (index < 0) return;
        if (Stream.Read(header, 8) < 8) return;
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = (bits << 8) | header[i];
        const auto size = static_cast<int64_t>(bits);
        if (size == 0) continue;
        // A negative size raises the read error that a short stream raises.
        scratch.SetPosition(0);
        scratch.CopyFrom(Stream, size);
        scratch.SetPosition(0);
        if (index >= static_cast<int32_t>(FProviders.size()))
            throw EListError(Format(SListIndexError, {index}));
        FProviders[static_cast<size_t>(index)]->RestoreState(scratch);
    }
}

int TUndoProviders::RegisterProvider(const IUndoProviderPtr& Provider)
{
    ATELIER_ASSERT(Provider);
    const auto found = std::find(FProviders.begin(), FProviders.end(), Provider);
    if (found != FProviders.end()) return static_cast<int>(found - FProviders.begin());
    FProviders.push_back(Provider);
    return static_cast<int>(FProviders.size()) - 1;
}

void TUndoProviders::UnregisterProvider(const IUndoProviderPtr& Provider)
{
    const auto found = std::find(FProviders.begin(), FProviders.end(), Provider);
    if (found != FProviders.end()) FProviders.erase(found);
}

// TCachedFileStream

TCachedFileStream::TCachedFileStream(std::unique_ptr<TTempFile> Handle) : FHandle(std::move(Handle)) {}

TCachedFileStream::~TCachedFileStream() = default;

int64_t TCachedFileStream::Read(void* buffer, int64_t count)
{
    if (count <= 0) return 0;
    const int64_t n = FHandle->ReadAt(FPosition, buffer, count);
    FPosition += n;
    return n;
}

int64_t TCachedFileStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0) return 0;
    FHandle->WriteAt(FPosition, buffer, count);
    FPosition += count;
    return count;
}

int64_t TCachedFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    int64_t base = 0;
    if (origin == soCurrent) base = FPosition;
    else if (origin == soEnd) base = FHandle->Size();
    if (base + offset < 0) throw EStreamError(QStringLiteral("Invalid stream operation"));
    FPosition = base + offset;
    return FPosition;
}

int64_t TCachedFileStream::Size() { return FHandle->Size(); }

const QString& TCachedFileStream::FileName() const { return FHandle->FileName(); }

// TUndoStack

TUndoStack::TUndoStack(int Limit) : FLimit(Limit < 2 ? DefaultLimit : Limit) {}

TUndoStack::~TUndoStack() = default;

QString TUndoStack::FileName() const { return FStateStream ? FStateStream->FileName() : QString(); }

void TUndoStack::CreateStateStream()
{
    const QString folder = TempFolder();
    uint32_t number = 0;
    for (int tries = 0; tries < MaxNameTries; ++tries) {
        number = NextFileNumber();
        std::unique_ptr<TTempFile> file;
        try {
            file = TTempFile::CreateNew(Format("%sundo%.8X.tmp", {folder, number}));
        } catch (const EOSError&) {
            break; // only a taken name is worth another try
        }
        if (file) {
            FStateStream = std::make_unique<TCachedFileStream>(std::move(file));
            return;
        }
    }
    throw EFCreateError(Format(SCannotCreateUndoFile, {folder, number}));
}

void TUndoStack::WriteState(TStream& State, const QString& Action)
{
    // The redo tail goes first; the new state is written over its bytes.
    if (FStack.size() > static_cast<size_t>(FStackPointer)) FStack.resize(static_cast<size_t>(FStackPointer));
    const int64_t offset = FStackPointer == 0 ? 0 : FStack.back().Offset + FStack.back().Size;
    if (!FStateStream) CreateStateStream();
    FStateStream->SetPosition(offset);
    const int64_t size = FStateStream->CopyFrom(State, 0);
    FStack.push_back({offset, size, Action});
}

void TUndoStack::ReadState(int Index, TStream& State)
{
    ATELIER_ASSERT(FStateStream);
    const TUndoItem& item = FStack[static_cast<size_t>(Index)];
    if (item.Size == 0) return; // CopyFrom would take a count of 0 as "everything"
    FStateStream->SetPosition(item.Offset);
    State.CopyFrom(*FStateStream, item.Size);
}

void TUndoStack::Push(TStream& State, const QString& Action)
{
    WriteState(State, Action);
    ++FStackPointer;
}

void TUndoStack::Store(TStream& State, const QString& Action) { WriteState(State, Action); }

void TUndoStack::Undo(TStream& State)
{
    ATELIER_ASSERT(FStackPointer > 0 && FStackPointer <= Count());
    // Read before the pointer moves: a state that cannot be read leaves the history where it was.
    ReadState(FStackPointer - 1, State);
    --FStackPointer;
}

void TUndoStack::Redo(TStream& State)
{
    ATELIER_ASSERT(FStackPointer >= 0 && FStackPointer < Count() - 1);
    ReadState(FStackPointer + 1, State);
    ++FStackPointer;
}

bool TUndoStack::GetCanUndo() { return FStackPointer > 0; }

bool TUndoStack::GetCanRedo() { return FStackPointer < Count() - 1; }

QString TUndoStack::PeekUndo()
{
    ATELIER_ASSERT(FStackPointer > 0 && FStackPointer <= Count());
    return FStack[static_cast<size_t>(FStackPointer - 1)].Action;
}

QString TUndoStack::PeekRedo()
{
    ATELIER_ASSERT(FStackPointer >= 0 && FStackPointer < Count() - 1);
    return FStack[static_cast<size_t>(FStackPointer)].Action;
}

void TUndoStack::BeginChange() { FChanging = true; }

void TUndoStack::EndChange() { FChanging = false; }

bool TUndoStack::GetChanging() { return FChanging; }

// TCustomUndoManager

TCustomUndoManager::TCustomUndoManager()
    : FProviders(std::make_shared<TUndoProviders>()), FStack(std::make_shared<TUndoStack>(-1))
{
}

TCustomUndoManager::~TCustomUndoManager() = default;

TMemoryStream& TCustomUndoManager::State()
{
    if (!FState) FState = std::make_unique<TMemoryStream>();
    return *FState;
}

void TCustomUndoManager::EmptyState()
{
    State().SetSize(0);
    State().SetPosition(0);
}

void TCustomUndoManager::RegisterUndoProvider(const IUndoProviderPtr& Provider)
{
    FProviders->RegisterProvider(Provider);
}

void TCustomUndoManager::UnregisterUndoProvider(const IUndoProviderPtr& Provider)
{
    FProviders->UnregisterProvider(Provider);
}

void TCustomUndoManager::SaveState()
{
    if (FStack->GetChanging()) return;
    EmptyState();
    FProviders->SaveState(State());
}

void TCustomUndoManager::CommitState(const QString& Action)
{
    if (FStack->GetChanging()) return;
    FStack->Push(State(), Action);
    EmptyState();
}

void TCustomUndoManager::DiscardState() { EmptyState(); }

void TCustomUndoManager::Step(void (IUndoStack::*Move)(TStream&))
{
    EmptyState();
    try {
        ((*FStack).*Move)(State());
    } catch (...) {
        // The providers still hold the current state: keep it pending, as after any step.
        try {
            EmptyState();
            FProviders->SaveState(State());
        } catch (...) {
            // The first error is the one to report.
        }
        throw;
    }
    FStack->BeginChange();
    try {
        State().SetPosition(0);
        FProviders->RestoreState(State());
    } catch (...) {
        FStack->EndChange();
        throw;
    }
    FStack->EndChange();
}

void TCustomUndoManager::Undo()
{
    if (!FStack->GetCanRedo()) {
        if (State().Size() == 0) FProviders->SaveState(State());
        FStack->Store(State(), QString::fromLatin1(SRedoAction));
    }
    Step(&IUndoStack::Undo);
}

void TCustomUndoManager::Redo() { Step(&IUndoStack::Redo); }

QString TCustomUndoManager::PeekUndo() { return FStack->GetCanUndo() ? FStack->PeekUndo() : QString(); }

QString TCustomUndoManager::PeekRedo() { return FStack->GetCanRedo() ? FStack->PeekRedo() : QString(); }
