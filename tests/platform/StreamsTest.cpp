#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

TEST(Streams, placeholder) { SUCCEED(); }
