// The summing half of the traffic totals, on tables made up by the test.
#include "monitor/traffic_totals.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TrafficTotalsSum, AddsEveryRowAndWrapsPast32Bits) {
    const std::vector<InterfaceCounters> rows = {
        {0xFFFF'FFF0u, 10}, {0x20, 0x1'0000'0005ull}, {0x7'0000'0001ull, 0xFFFF'FFFFu}};
    std::uint32_t received = 1;
    std::uint32_t sent = 1;
    EXPECT_TRUE(SumTrafficTotals(true, rows, received, sent));
    // 0xFFFFFFF0 + 0x20 + 1 and 10 + 5 + 0xFFFFFFFF, both modulo 2^32.
    EXPECT_EQ(received, 0x11u);
    EXPECT_EQ(sent, 14u);
}

TEST(TrafficTotalsSum, EmptyOrUnreadTableGivesFalseAndZeros) {
    const std::vector<InterfaceCounters> rows = {{100, 200}};
    std::uint32_t received = 7;
    std::uint32_t sent = 7;
    EXPECT_FALSE(SumTrafficTotals(true, {}, received, sent));
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(sent, 0u);

    received = sent = 7;
    EXPECT_FALSE(SumTrafficTotals(false, rows, received, sent));
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(sent, 0u);
}

TEST(TrafficTotalsSum, CounterThatWrapsChangesTheSum) {
    std::vector<InterfaceCounters> rows = {{0xFFFF'FFFFull, 0}};
    std::uint32_t before = 0;
    std::uint32_t after = 0;
    std::uint32_t sent = 0;
    ASSERT_TRUE(SumTrafficTotals(true, rows, before, sent));
    rows[0].received += 2;  // the 64-bit counter moves past 2^32
    ASSERT_TRUE(SumTrafficTotals(true, rows, after, sent));
    EXPECT_NE(before, after);
}

}  // namespace
