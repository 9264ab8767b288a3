#include "designer/koDesignRTTI.h"

#include <gtest/gtest.h>

TEST(RttiList, ObjectWithoutPublishedPropertiesGivesEmptyList)
{
    QObject plain;
    TRunTimePropertyList list;
    list.SetInstance(&plain);
    EXPECT_EQ(list.Count(), 0);
}
