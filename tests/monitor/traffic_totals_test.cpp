// The Interfaces setting's rule: which names count under which patterns.
#include "monitor/traffic_totals.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(InterfaceFilter, CountsWhatThePatternsChoose) {
    for (const auto& [patterns, name, counts] : {
             // No pattern that can be read: everything, as without the key.
             std::tuple{" , ,! ,!", "lo", true},
             // Only excluding patterns: everything but what they match.
             {"!lo, !docker*, !veth*", "vethab12", false},
             {"!lo, !docker*, !veth*", "eth0", true},
             {"!lo", "lo0", true},
             {"!lo*", "lo", false},  // a star takes nothing at all too
             // Including patterns: only what they match, less what an exclusion takes.
             {"eth0,,wlan0,", "wlan0", true},
             {"eth0, wlan0", "eth1", false},
             {"eth0*", "eth0", true},
             {"!eth1, e*", "eth1", false},
             {"  e*\t ,!  enp3s0 ", "enp3s0", false},
             {"  e*\t ,!  enp3s0 ", "eno1", true},
             // The whole name, byte for byte; '?' one character, '*' any run.
             {"ETH0", "eth0", false},
             {"eth?", "eth10", false},
             {"e*t*0", "eeth0", true},
             {"e*t*0", "eth01", false},
             {"WLAN?", "WLANé", true},
         }) {
        EXPECT_EQ(InterfaceFilter(patterns).Counts(name), counts)
            << "patterns \"" << patterns << "\", name \"" << name << "\"";
    }
    EXPECT_TRUE(InterfaceFilter(" , !").CountsEverything());
}

}  // namespace
