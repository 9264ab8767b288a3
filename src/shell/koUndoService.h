#pragma once

// Undo and redo by whole snapshots. Providers write parts of a client's state; a provider set joins
// them into one state stream of records; an undo stack keeps the states end to end in a temporary file
// of its own (memory holds only offset, size and action text per state); the undo manager joins a
// provider set, a stack and the pending state into the calls an editor makes.

#include "platform/Streams.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class TTempFile;

class IUndoProvider {
public:
    virtual ~IUndoProvider() = default;
    // Writing nothing means the part has nothing to restore.
    virtual void SaveState(TStream& Stream) = 0;
    // Reads back exactly what SaveState wrote.
    virtual void RestoreState(TStream& Stream) = 0;
};
using IUndoProviderPtr = std::shared_ptr<IUndoProvider>;

class IUndoProviders {
public:
    virtual ~IUndoProviders() = default;
    virtual void SaveState(TStream& Stream) = 0;
    virtual void RestoreState(TStream& Stream) = 0;
    virtual int RegisterProvider(const IUndoProviderPtr& Provider) = 0;
    virtual void UnregisterProvider(const IUndoProviderPtr& Provider) = 0;
};

class IUndoStack {
public:
    virtual ~IUndoStack() = default;
    virtual void Push(TStream& State, const QString& Action) = 0;
    virtual void Store(TStream& State, const QString& Action) = 0;
    virtual void Undo(TStream& State) = 0;
    virtual void Redo(TStream& State) = 0;
    virtual bool GetCanUndo() = 0;
    virtual bool GetCanRedo() = 0;
    virtual QString PeekUndo() = 0;
    virtual QString PeekRedo() = 0;
    virtual void BeginChange() = 0;
    virtual void EndChange() = 0;
    virtual bool GetChanging() = 0;
};

// The state stream: per provider that wrote anything, Int32 index, Int64 size and the data, in
// registration order; the Int32 -1 ends it. All little-endian.
class TUndoProviders : public IUndoProviders {
public:
    void SaveState(TStream& Stream) override;
    void RestoreState(TStream& Stream) override;
    int RegisterProvider(const IUndoProviderPtr& Provider) override;
    void UnregisterProvider(const IUndoProviderPtr& Provider) override;

private:
    std::vector<IUndoProviderPtr> FProviders;
};

// The stack's state file: a stream over a temporary file that owns it.
class TCachedFileStream : public TStream {
public:
    explicit TCachedFileStream(std::unique_ptr<TTempFile> Handle);
    ~TCachedFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    const QString& FileName() const;

private:
    std::unique_ptr<TTempFile> FHandle;
    int64_t FPosition = 0;
};

class TUndoStack : public IUndoStack {
public:
    struct TUndoItem {
        int64_t Offset = 0;
        int64_t Size = 0;
        QString Action;
    };

    static constexpr int DefaultLimit = 32;

    // A limit below 2 takes DefaultLimit. The limit bounds nothing: every state stays until it is
    // dropped with a redo tail.
    explicit TUndoStack(int Limit = -1);
    ~TUndoStack() override;

    void Push(TStream& State, const QString& Action) override;
    void Store(TStream& State, const QString& Action) override;
    void Undo(TStream& State) override;
    void Redo(TStream& State) override;
    bool GetCanUndo() override;
    bool GetCanRedo() override;
    QString PeekUndo() override;
    QString PeekRedo() override;
    void BeginChange() override;
    void EndChange() override;
    bool GetChanging() override;

    int Count() const { return static_cast<int>(FStack.size()); }
    const TUndoItem& Item(int Index) const { return FStack.at(static_cast<size_t>(Index)); }
    int StackPointer() const { return FStackPointer; }
    int Limit() const { return FLimit; }
    // Empty until the first state is written.
    QString FileName() const;

private:
    void WriteState(TStream& State, const QString& Action);
    void ReadState(int Index, TStream& State);
    void CreateStateStream();

    std::vector<TUndoItem> FStack;
    int FStackPointer = 0;
    int FLimit;
    bool FChanging = false;
    std::unique_ptr<TCachedFileStream> FStateStream;
};

class TCustomUndoManager {
public:
    TCustomUndoManager();
    virtual ~TCustomUndoManager();
    TCustomUndoManager(const TCustomUndoManager&) = delete;
    TCustomUndoManager& operator=(const TCustomUndoManager&) = delete;

    void RegisterUndoProvider(const IUndoProviderPtr& Provider);
    void UnregisterUndoProvider(const IUndoProviderPtr& Provider);
    void SaveState();
    void CommitState(const QString& Action);
    void DiscardState();
    void Undo();
    void Redo();
    QString PeekUndo();
    QString PeekRedo();
    bool CanUndo() { return FStack->GetCanUndo(); }
    bool CanRedo() { return FStack->GetCanRedo(); }

    const std::shared_ptr<IUndoStack>& Stack() const { return FStack; }

private:
    TMemoryStream& State();
    void EmptyState();
    void RestoreState();
    void Step(void (IUndoStack::*Move)(TStream&));

    std::shared_ptr<IUndoProviders> FProviders;
    std::shared_ptr<IUndoStack> FStack;
    std::unique_ptr<TMemoryStream> FState;
};
