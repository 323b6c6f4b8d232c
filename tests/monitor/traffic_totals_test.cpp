// The summing half of the traffic totals, on tables made up by the test.
#include "monitor/traffic_totals.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TrafficTotalsSum, AddsEveryRowWrappingPast32BitsAndGivesZerosForNoTable) {
    std::vector<InterfaceCounters> rows = {
        {0xFFFF'FFF0u, 10}, {0x20, 0x1'0000'0005ull}, {0x7'0000'0001ull, 0xFFFF'FFFFu}};
    std::uint32_t received = 1;
    std::uint32_t sent = 1;
    EXPECT_TRUE(SumTrafficTotals(true, rows, received, sent));
    EXPECT_EQ(received, 0x11u);  // 0xFFFFFFF0 + 0x20 + 1, modulo 2^32
    EXPECT_EQ(sent, 14u);        // 10 + 5 + 0xFFFFFFFF
    rows[0].received += 0x20;    // a counter moving past 2^32 still changes the sum
    EXPECT_TRUE(SumTrafficTotals(true, rows, received, sent));
    EXPECT_EQ(received, 0x31u);

    EXPECT_FALSE(SumTrafficTotals(true, {}, received, sent));
    EXPECT_EQ(received + sent, 0u);
    received = sent = 7;
    EXPECT_FALSE(SumTrafficTotals(false, rows, received, sent));
    EXPECT_EQ(received + sent, 0u);
}

}  // namespace
