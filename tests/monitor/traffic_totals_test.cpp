// The summing half of the traffic totals, on tables made up by the test, and
// the Interfaces setting's rule: which names count under which patterns.
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

TEST(InterfaceFilter, CountsWhatThePatternsChoose) {
    struct Case {
        const char* patterns;
        const char* name;
        bool counts;
    };
    for (const Case& c : {
             // No pattern that can be read: everything, as without the key.
             Case{" , ,! ,!", "lo", true},
             // Only excluding patterns: everything but what they match.
             Case{"!lo, !docker*, !veth*", "vethab12", false},
             Case{"!lo, !docker*, !veth*", "eth0", true},
             Case{"!lo", "lo0", true},
             Case{"!lo*", "lo", false},  // a star takes nothing at all too
             // Including patterns: only what they match, less what an exclusion takes.
             Case{"eth0,,wlan0,", "wlan0", true},
             Case{"eth0, wlan0", "eth1", false},
             Case{"eth0*", "eth0", true},
             Case{"!eth1, e*", "eth1", false},
             Case{"  e*\t ,!  enp3s0 ", "enp3s0", false},
             Case{"  e*\t ,!  enp3s0 ", "eno1", true},
             // The whole name, byte for byte; '?' one character, '*' any run.
             Case{"ETH0", "eth0", false},
             Case{"eth?", "eth10", false},
             Case{"e*t*0", "eeth0", true},
             Case{"e*t*0", "eth01", false},
             Case{"WLAN?", "WLANé", true},
         }) {
        EXPECT_EQ(InterfaceFilter(c.patterns).Counts(c.name), c.counts)
            << "patterns \"" << c.patterns << "\", name \"" << c.name << "\"";
    }
    EXPECT_TRUE(InterfaceFilter(" , !").CountsEverything());
}

}  // namespace
