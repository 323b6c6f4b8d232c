// The Interfaces setting's rule: which names count under which patterns.
#include "monitor/traffic_totals.h"

#include <gtest/gtest.h>

namespace {

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
