// A pool's texts: what makes one, and which pools could give the same text.
#include "production/SerialPool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;

namespace {

SerialPool Pool(std::string prefix, std::uint32_t first, std::uint32_t last, int digits)
{
    return SerialPool{.name = "line", .prefix = std::move(prefix), .first = first, .last = last, .digits = digits};
}

TEST(SerialPoolTest, APoolIsRefusedWhenItsTextsCannotBeSerialNumbers)
{
    struct Case {
        SerialPool pool;
        std::string refusal;  // a part of it; empty: taken
    };
    SerialPool badName = Pool("SN", 1, 9, 1);
    badName.name = "line 3";
    for (const Case& c : std::vector<Case>{
             {Pool("SN", 1, 999999, 6), ""},
             {Pool("", 0, 99999999, 8), ""},
             {Pool("SN-", 1, 999999, 6), "'SN-' and 6 digits make 9 characters; a serial number holds 8"},
             {Pool("SN", 1, 9, 0), "--digits must be 1 to 8"},
             {Pool("SN", 10, 9, 2), "--first must not be above --last"},
             {Pool("SN", 1, 1000, 3), "--last 1000 has more than 3 digits"},
             {Pool("S N", 1, 9, 1), "printable ASCII characters without blanks"},
             {Pool("S\xE9", 1, 9, 1), "printable ASCII characters without blanks"},
             {badName, "a pool's name is"},
         }) {
        const auto refusal = PoolRefusal(c.pool);
        if (c.refusal.empty())
            EXPECT_EQ(refusal, std::nullopt) << c.pool.prefix;
        else
            EXPECT_THAT(refusal.value_or("taken"), HasSubstr(c.refusal));
    }
    EXPECT_EQ(SerialText(Pool("SN", 1, 999999, 6), 42), "SN000042");
}

// Two pools overlap when one text could come from both: the same length, one
// prefix continued in digits by the other, and the numbers meeting there.
TEST(SerialPoolTest, PoolsOverlapWhenOneTextCouldComeFromBoth)
{
    struct Case {
        SerialPool a;
        SerialPool b;
        bool overlap;
    };
    for (const Case& c : std::vector<Case>{
             {Pool("SN", 1, 999999, 6), Pool("SN0", 0, 99999, 5), true},     // SN000001
             {Pool("SN", 1, 99999, 6), Pool("SN1", 0, 99999, 5), false},     // SN000001 .. SN099999
             {Pool("SN", 1, 999999, 6), Pool("SN1", 0, 5, 5), true},         // SN100000
             {Pool("SN", 1, 500, 6), Pool("SN", 501, 900, 6), false},
             {Pool("SN", 1, 500, 6), Pool("SN", 500, 900, 6), true},
             {Pool("SN", 1, 999999, 6), Pool("SM", 1, 999999, 6), false},
             {Pool("SN", 1, 99999, 5), Pool("SN", 1, 999999, 6), false},     // other lengths
             {Pool("", 0, 99999999, 8), Pool("SN", 0, 999999, 6), false},
             {Pool("", 0, 99999999, 8), Pool("12", 0, 999999, 6), true},     // 12000000
             {Pool("", 0, 11999999, 8), Pool("12", 0, 999999, 6), false},
             {Pool("A1", 0, 999999, 6), Pool("A", 1000000, 1999999, 7), true},
         }) {
        EXPECT_EQ(PoolsOverlap(c.a, c.b), c.overlap) << c.a.prefix << " / " << c.b.prefix;
        EXPECT_EQ(PoolsOverlap(c.b, c.a), c.overlap) << c.b.prefix << " / " << c.a.prefix;
    }
}

}  // namespace
