// The messages the message log hears while a TLogCapture lives, with the item each names.
#pragma once

#include "model/koResourcesItem.h"
#include "model/koResourcesMessages.h"

#include <QList>
#include <QStringList>
#include <memory>

class TLogCapture {
public:
    TLogCapture() { MessageLogger()->Subscribe(FCollector); }
    ~TLogCapture() { MessageLogger()->Unsubscribe(FCollector); }
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;
    const QStringList& Messages() const { return FCollector->Messages; }
    const QList<TCustomResourceItem*>& Items() const { return FCollector->Items; }

private:
    class TCollector : public IResourceMessageLogSubscriber {
    public:
        void LogMessage(const IResourceMessagePtr& Msg) override
        {
            Messages.append(Msg->GetMessage());
            auto context = Msg->GetContext();
            Items.append(context ? context->GetResourceItem() : nullptr);
        }
        QStringList Messages;
        QList<TCustomResourceItem*> Items;
    };
    std::shared_ptr<TCollector> FCollector = std::make_shared<TCollector>();
};
