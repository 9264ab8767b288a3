#include "TestKinds.h"
#include "model/koResourcesMessages.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {
class TCollector : public IResourceMessageLogSubscriber {
public:
    void LogMessage(const IResourceMessagePtr& Msg) override
    {
        Messages.push_back(Msg);
        if (OnLog) OnLog(Msg);
    }
    std::vector<IResourceMessagePtr> Messages;
    std::function<void(const IResourceMessagePtr&)> OnLog;
};

class MessageLogTest : public ::testing::Test {
protected:
    void TearDown() override { koResourcesMessages_Finalize(); }
};
} // namespace

TEST_F(MessageLogTest, NothingHappensWithoutSubscribers)
{
    TTestItem item(Ord(101));
    EXPECT_FALSE(MessageLogActive());
    LogMessage("lost", rmWarning, &item);
    EXPECT_FALSE(MessageLogActive());
    // No context was pushed: the item has no subscriber.
    TRecorder probe;
    item.Subscribe(&probe);
    EXPECT_EQ(probe.Events.size(), 1u);
    item.Unsubscribe(&probe);
}

TEST_F(MessageLogTest, MessagesCarryTheInnermostContextChain)
{
    auto collector = std::make_shared<TCollector>();
    MessageLogger()->Subscribe(collector);
    ASSERT_TRUE(MessageLogActive());

    auto item = std::make_unique<TTestItem>(TResourceIdent::FromOrdinal(RT_DIALOG), Ord(101));
    {
        TMessageContextScope file("app.res");
        LogMessage("bad control", rmError, item.get());
        LogMessage("plain", rmInfo);
    }
    ASSERT_EQ(collector->Messages.size(), 2u);
    const IResourceMessagePtr& withItem = collector->Messages[0];
    EXPECT_EQ(withItem->GetKind(), rmError);
    EXPECT_EQ(withItem->GetMessage(), "bad control");
    ASSERT_TRUE(withItem->GetContext());
    EXPECT_EQ(withItem->GetContext()->GetDescription(), "Dialog (#101)");
    EXPECT_EQ(withItem->GetContext()->GetResourceItem(), item.get());
    ASSERT_TRUE(withItem->GetContext()->GetContext());
    EXPECT_EQ(withItem->GetContext()->GetContext()->GetDescription(), "app.res");
    EXPECT_TRUE(withItem->CanTrack());

    const IResourceMessagePtr& plain = collector->Messages[1];
    EXPECT_EQ(plain->GetContext()->GetDescription(), "app.res");
    EXPECT_FALSE(plain->CanTrack());

    item.reset();
    EXPECT_EQ(withItem->GetContext()->GetResourceItem(), nullptr);
    EXPECT_FALSE(withItem->CanTrack());
    MessageLogger()->Unsubscribe(collector);
}

TEST_F(MessageLogTest, ItemContextNamesNamedItems)
{
    TTestItem icon(TResourceIdent::FromOrdinal(RT_GROUP_ICON), TResourceIdent("MAINICON"));
    TResourceMessageContext context(&icon);
    EXPECT_EQ(context.GetDescription(), "Icon (MAINICON)");
    EXPECT_THROW(TResourceMessageContext(nullptr), EAssertionFailed);
}

TEST_F(MessageLogTest, LastUnsubscribeReleasesTheLogger)
{
    auto collector = std::make_shared<TCollector>();
    std::weak_ptr<IResourceMessageLogger> first = MessageLogger();
    MessageLogger()->Subscribe(collector);
    MessageLogger()->Subscribe(collector);
    LogMessage("twice", rmInfo);
    EXPECT_EQ(collector->Messages.size(), 2u) << "a subscriber added twice is told twice";
    MessageLogger()->Unsubscribe(collector);
    EXPECT_TRUE(MessageLogActive());
    MessageLogger()->Unsubscribe(collector);
    EXPECT_FALSE(MessageLogActive());
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(collector.use_count(), 1) << "the logger let go of its subscriber";
}

TEST_F(MessageLogTest, ContextStackBalances)
{
    auto log = MessageLog();
    PushMessageContextDesc("outer");
    PushMessageContextDesc("inner");
    EXPECT_EQ(log->PopContext()->GetDescription(), "inner");
    PopMessageContext();
    EXPECT_THROW(PopMessageContext(), EAssertionFailed);
}

TEST_F(MessageLogTest, SubscriberErrorsPropagateAndThePushedContextIsPopped)
{
    auto failing = std::make_shared<TCollector>();
    failing->OnLog = [](const IResourceMessagePtr&) { throw Exception("pane failed"); };
    MessageLogger()->Subscribe(failing);
    TTestItem item(Ord(1));
    EXPECT_THROW(LogMessage("x", rmWarning, &item), Exception);
    // Only the file context is left: the item's context was popped.
    PushMessageContextDesc("file");
    failing->OnLog = nullptr;
    LogMessage("y", rmInfo);
    EXPECT_EQ(failing->Messages.back()->GetContext()->GetDescription(), "file");
    EXPECT_FALSE(failing->Messages.back()->GetContext()->GetContext());
    PopMessageContext();
    MessageLogger()->Unsubscribe(failing);
}

TEST_F(MessageLogTest, PreparedItemMessages)
{
    auto collector = std::make_shared<TCollector>();
    MessageLogger()->Subscribe(collector);
    QObject element;
    LogResourceMessage(std::make_shared<TResourceMessageItem>("element", &element, rmWarning));
    ASSERT_EQ(collector->Messages.size(), 1u);
    auto itemMessage = std::dynamic_pointer_cast<IResourceMessageItem>(collector->Messages[0]);
    ASSERT_TRUE(itemMessage);
    EXPECT_EQ(itemMessage->GetItem(), &element);
    MessageLogger()->Unsubscribe(collector);
}
