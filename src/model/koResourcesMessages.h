// The message log: model code reports problems that need not stop an operation. The log keeps nothing;
// it stamps each message with the innermost of a stack of contexts (the file being loaded, the item
// being read) and hands it to its subscribers, or drops it when nobody listens.
#pragma once

#include "koResourcesItem.h"

#include <QString>
#include <memory>

class TCustomResourceItem;
class TCustomResourceModuleFiler;

enum TResourceMessageKind { rmInfo, rmWarning, rmError };

class IResourceMessageContext {
public:
    virtual ~IResourceMessageContext() = default;
    virtual std::shared_ptr<IResourceMessageContext> GetContext() const = 0; // the outer context
    virtual void SetContext(std::shared_ptr<IResourceMessageContext> Context) = 0;
    virtual TCustomResourceItem* GetResourceItem() const = 0; // nullptr once the item is gone
    virtual QString GetDescription() const = 0;
};
using IResourceMessageContextPtr = std::shared_ptr<IResourceMessageContext>;

class IResourceMessage {
public:
    virtual ~IResourceMessage() = default;
    virtual IResourceMessageContextPtr GetContext() const = 0;
    virtual void SetContext(IResourceMessageContextPtr Context) = 0;
    virtual TResourceMessageKind GetKind() const = 0;
    virtual QString GetMessage() const = 0;
    virtual bool CanTrack() const = 0;
};
using IResourceMessagePtr = std::shared_ptr<IResourceMessage>;

class IResourceMessageItem : public virtual IResourceMessage {
public:
    // The element the message is about (not owned).
    virtual QObject* GetItem() const = 0;
};

class IResourceMessageLogSubscriber {
public:
    virtual ~IResourceMessageLogSubscriber() = default;
    virtual void LogMessage(const IResourceMessagePtr& Msg) = 0;
};

class IResourceMessageLog {
public:
    virtual ~IResourceMessageLog() = default;
    virtual void LogMessage(const IResourceMessagePtr& Msg) = 0;
    virtual void PushContext(IResourceMessageContextPtr Context) = 0;
    virtual IResourceMessageContextPtr PopContext() = 0;
};

class IResourceMessageLogger {
public:
    virtual ~IResourceMessageLogger() = default;
    // The logger keeps its subscribers alive; one added twice is told twice.
    virtual void Subscribe(std::shared_ptr<IResourceMessageLogSubscriber> Subscriber) = 0;
    virtual void Unsubscribe(const std::shared_ptr<IResourceMessageLogSubscriber>& Subscriber) = 0;
};

class TResourceMessageContext : public IResourceMessageContext, public IResourceItemNotification {
public:
    TResourceMessageContext(const QString& ADescription, TCustomResourceItem* AResourceItem);
    // The description names the item: "Dialog (#101)".
    explicit TResourceMessageContext(TCustomResourceItem* AResourceItem);
    ~TResourceMessageContext() override;
    TResourceMessageContext(const TResourceMessageContext&) = delete;
    TResourceMessageContext& operator=(const TResourceMessageContext&) = delete;

    IResourceMessageContextPtr GetContext() const override { return FContext; }
    void SetContext(IResourceMessageContextPtr Context) override;
    TCustomResourceItem* GetResourceItem() const override { return FResourceItem; }
    QString GetDescription() const override { return FDescription; }
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;

private:
    IResourceMessageContextPtr FContext;
    TCustomResourceItem* FResourceItem = nullptr;
    QString FDescription;
};

class TResourceMessage : public virtual IResourceMessage {
public:
    TResourceMessage(const QString& AMessage, TResourceMessageKind AKind);
    IResourceMessageContextPtr GetContext() const override { return FContext; }
    void SetContext(IResourceMessageContextPtr Context) override;
    TResourceMessageKind GetKind() const override { return FKind; }
    QString GetMessage() const override { return FMessage; }
    // True when the innermost context still knows its item.
    bool CanTrack() const override;

private:
    IResourceMessageContextPtr FContext;
    TResourceMessageKind FKind;
    QString FMessage;
};

class TResourceMessageItem : public TResourceMessage, public IResourceMessageItem {
public:
    TResourceMessageItem(const QString& AMessage, QObject* AItem, TResourceMessageKind AKind);
    QObject* GetItem() const override { return FItem; }

private:
    QObject* FItem;
};

// Unit functions: what model code calls.
std::shared_ptr<IResourceMessageLogger> MessageLogger();
std::shared_ptr<IResourceMessageLog> MessageLog();
bool MessageLogActive();
void LogMessage(const QString& Msg, TResourceMessageKind Kind, TCustomResourceItem* Item = nullptr);
void LogResourceMessage(const IResourceMessagePtr& Msg);
void PushMessageContextDesc(const QString& Description, TCustomResourceItem* Item = nullptr);
void PushMessageContext(TCustomResourceItem* Item);
void PopMessageContext();

// Pushes a context for a scope and pops it however the scope is left.
class TMessageContextScope {
public:
    explicit TMessageContextScope(TCustomResourceItem* Item) { PushMessageContext(Item); }
    TMessageContextScope(const QString& Description, TCustomResourceItem* Item = nullptr)
    {
        PushMessageContextDesc(Description, Item);
    }
    ~TMessageContextScope() noexcept(false);
    TMessageContextScope(const TMessageContextScope&) = delete;
    TMessageContextScope& operator=(const TMessageContextScope&) = delete;

private:
    int FExceptions = std::uncaught_exceptions();
};

// Reports long operations: stage begin (current 0, max the total), progress, end.
enum TResourceProgressStage { psBegin, psProgress, psEnd };
using TResourceProgress = std::function<void(TCustomResourceModuleFiler* Sender, TResourceProgressStage Stage, int CurrentProgress,
                                             int MaxProgress, const QString& Msg, void* ProgressContext)>;

void koResourcesMessages_Finalize();
