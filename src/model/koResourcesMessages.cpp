#include "koResourcesMessages.h"

#include "platform/Exceptions.h"
#include "platform/Format.h"

#include <vector>

namespace {
const char* const SItemContext = "%1:s (%0:s)";

using TSubscriberList = std::vector<std::shared_ptr<IResourceMessageLogSubscriber>>;

class TResourceMessageLogger;

// The unit's state: the logger (created on first use, released with its last subscriber) and the list
// of subscribers, which holds them alive.
struct TLoggerState {
    std::shared_ptr<TResourceMessageLogger> Logger;
    std::unique_ptr<TSubscriberList> Subscribers;
};

TLoggerState& State()
{
    static TLoggerState state;
    return state;
}

class TResourceMessageLogger final : public IResourceMessageLogger, public IResourceMessageLog {
public:
    ~TResourceMessageLogger() override
    {
        FContext.reset();
        if (State().Logger.get() == this) State().Logger.reset();
    }

    void Subscribe(std::shared_ptr<IResourceMessageLogSubscriber> Subscriber) override
    {
        auto& subscribers = State().Subscribers;
        if (!subscribers) subscribers = std::make_unique<TSubscriberList>();
        subscribers->push_back(std::move(Subscriber));
    }

    void Unsubscribe(const std::shared_ptr<IResourceMessageLogSubscriber>& Subscriber) override
    {
        auto& subscribers = State().Subscribers;
        if (!subscribers) return;
        auto it = std::find(subscribers->begin(), subscribers->end(), Subscriber);
        if (it != subscribers->end()) subscribers->erase(it);
        if (subscribers->empty()) {
            subscribers.reset();
            State().Logger.reset(); // may destroy this logger: nothing may follow
        }
    }

    void LogMessage(const IResourceMessagePtr& Msg) override
    {
        if (!MessageLogActive()) return;
        Msg->SetContext(FContext);
        // Copy, so a subscriber that leaves while being told does not disturb the walk.
        const TSubscriberList subscribers = *State().Subscribers;
        for (const auto& subscriber : subscribers) subscriber->LogMessage(Msg);
    }

    void PushContext(IResourceMessageContextPtr Context) override
    {
        Context->SetContext(FContext);
        FContext = std::move(Context);
        ++FContextCount;
    }

    IResourceMessageContextPtr PopContext() override
    {
        ATELIER_ASSERT(FContextCount > 0);
        --FContextCount;
        IResourceMessageContextPtr result = FContext;
        FContext = result->GetContext();
        return result;
    }

    int ContextCount() const { return FContextCount; }

private:
    IResourceMessageContextPtr FContext;
    int FContextCount = 0;
};

std::shared_ptr<TResourceMessageLogger> Logger()
{
    auto& logger = State().Logger;
    if (!logger) logger = std::make_shared<TResourceMessageLogger>();
    return logger;
}
} // namespace

// TResourceMessageContext

TResourceMessageContext::TResourceMessageContext(const QString& ADescription, TCustomResourceItem* AResourceItem)
    : FResourceItem(AResourceItem), FDescription(ADescription)
{
    if (FResourceItem) FResourceItem->Subscribe(this);
}

TResourceMessageContext::TResourceMessageContext(TCustomResourceItem* AResourceItem) : FResourceItem(AResourceItem)
{
    ATELIER_ASSERT(AResourceItem != nullptr);
    FDescription = Format(QString::fromLatin1(SItemContext), {ResourceIdentToString(AResourceItem->Name()),
                                                              ResourceTypeToFriendlyName(AResourceItem->ResourceType())});
    FResourceItem->Subscribe(this);
}

TResourceMessageContext::~TResourceMessageContext()
{
    if (FResourceItem) FResourceItem->Unsubscribe(this);
}

void TResourceMessageContext::SetContext(IResourceMessageContextPtr Context)
{
    if (Context != FContext) FContext = std::move(Context);
}

void TResourceMessageContext::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    if (Item == FResourceItem && Notification == rnUnsubscribe) FResourceItem = nullptr;
}

// TResourceMessage

TResourceMessage::TResourceMessage(const QString& AMessage, TResourceMessageKind AKind) : FKind(AKind), FMessage(AMessage) {}

void TResourceMessage::SetContext(IResourceMessageContextPtr Context)
{
    if (Context != FContext) FContext = std::move(Context);
}

bool TResourceMessage::CanTrack() const { return FContext && FContext->GetResourceItem() != nullptr; }

TResourceMessageItem::TResourceMessageItem(const QString& AMessage, QObject* AItem, TResourceMessageKind AKind)
    : TResourceMessage(AMessage, AKind), FItem(AItem)
{
}

// Unit functions

std::shared_ptr<IResourceMessageLogger> MessageLogger() { return Logger(); }

std::shared_ptr<IResourceMessageLog> MessageLog() { return Logger(); }

bool MessageLogActive()
{
    const auto& state = State();
    return state.Logger && state.Subscribers && !state.Subscribers->empty();
}

void LogMessage(const QString& Msg, TResourceMessageKind Kind, TCustomResourceItem* Item)
{
    if (!MessageLogActive()) return;
    std::shared_ptr<TResourceMessageLogger> logger = Logger();
    if (Item) logger->PushContext(std::make_shared<TResourceMessageContext>(Item));
    try {
        logger->LogMessage(std::make_shared<TResourceMessage>(Msg, Kind));
    } catch (...) {
        if (Item) logger->PopContext();
        throw;
    }
    if (Item) logger->PopContext();
}

void LogResourceMessage(const IResourceMessagePtr& Msg)
{
    if (MessageLogActive()) MessageLog()->LogMessage(Msg);
}

void PushMessageContextDesc(const QString& Description, TCustomResourceItem* Item)
{
    Logger()->PushContext(std::make_shared<TResourceMessageContext>(Description, Item));
}

void PushMessageContext(TCustomResourceItem* Item) { Logger()->PushContext(std::make_shared<TResourceMessageContext>(Item)); }

void PopMessageContext() { Logger()->PopContext(); }

TMessageContextScope::~TMessageContextScope() noexcept(false)
{
    if (std::uncaught_exceptions() > FExceptions) {
        try {
            PopMessageContext();
        } catch (...) {
        }
    } else {
        PopMessageContext();
    }
}

void koResourcesMessages_Finalize()
{
    State().Subscribers.reset();
    State().Logger.reset();
}
