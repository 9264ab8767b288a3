// Event handlers run guarded: what they raise goes to the application's handler, never out of the handler.
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

TEST(GuardedCall, HandsFailuresToTheApplicationAndDropsSilentAborts)
{
    QStringList seen;
    const auto previous = SetApplicationExceptionHandler([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const Exception& e) {
            seen << e.Message();
        }
    });
    bool ran = false;
    GuardedCall([&] { ran = true; });
    GuardedCall([] { throw Exception(QStringLiteral("broken")); });
    GuardedCall([] { Abort(); });
    EXPECT_TRUE(ran);
    EXPECT_EQ(seen, QStringList{QStringLiteral("broken")});

    // Without a handler the failure is only logged.
    SetApplicationExceptionHandler({});
    EXPECT_NO_THROW(GuardedCall([] { throw std::runtime_error("lost"); }));
    SetApplicationExceptionHandler(previous);
}
