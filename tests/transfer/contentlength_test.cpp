// labels: unit
#include "transfer/sharednetwork.h"

#include <gtest/gtest.h>

using namespace papyrant;

// Only a whole number of bytes is a length; anything else counts as no length at all.
TEST(ContentLength, OnlyDigitsMakeALength)
{
    const struct
    {
        const char *value;
        qint64 length;
    } cases[] = {
        {"1000", 1000},
        {" 1000 ", 1000},
        {"0", 0},
        {"9223372036854775807", 9223372036854775807LL},
        {"9223372036854775808", -1},
        {"1e-300", -1},
        {"1.5", -1},
        {"0x10", -1},
        {"+5", -1},
        {"-1", -1},
        {"12 34", -1},
        {"abc", -1},
        {"", -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseContentLength(c.value), c.length) << c.value;
}
