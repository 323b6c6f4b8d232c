// The Interfaces setting's rule: which names count under which patterns.
#include "monitor/interface_filter.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* patterns;  // cppcheck-suppress unusedStructMember
    const char* name;      // cppcheck-suppress unusedStructMember
    bool counts;           // cppcheck-suppress unusedStructMember
};

TEST(InterfaceFilter, CountsWhatThePatternsChoose) {
    const Case cases[] = {
        // No pattern, or none that can be read: everything, as without the key.
        {"", "lo", true},
        {" , ,! ,!", "lo", true},
        // Only excluding patterns: everything but what they match.
        {"!lo, !docker*, !veth*", "lo", false},
        {"!lo, !docker*, !veth*", "docker0", false},
        {"!lo, !docker*, !veth*", "vethab12", false},
        {"!lo, !docker*, !veth*", "eth0", true},
        {"!lo", "lo0", true},
        // Including patterns: only what they match, less what an exclusion takes.
        {"eth0, wlan0", "wlan0", true},
        {"eth0, wlan0", "eth1", false},
        {"eth0,,wlan0,", "eth0", true},
        {"e*, !eth1", "eth1", false},
        {"e*, !eth1", "enp3s0", true},
        {"!eth1, e*", "eth1", false},
        {"  eth0\t ,!  wlan0 ", "eth0", true},
        {"  eth0\t ,!  wlan0 ", "wlan0", false},
        // The globs: the whole name, byte for byte, '?' one character, '*' any run.
        {"eth", "eth0", false},
        {"ETH0", "eth0", false},
        {"eth?", "eth0", true},
        {"eth?", "eth10", false},
        {"*0", "eth10", true},
        {"e*t*0", "eeth0", true},
        {"e*t*0", "eth01", false},
        {"**", "", true},
        {"Wi-Fi ?", "Wi-Fi 2", true},
        {"WLAN?", "WLANé", true},
        {"?", "é", true},
        {"Ethernet*", "Ethernet (Kernel Debugger)", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InterfaceFilter(c.patterns).Counts(c.name), c.counts)
            << "patterns \"" << c.patterns << "\", name \"" << c.name << "\"";
    }
    EXPECT_TRUE(InterfaceFilter(" , !").CountsEverything());
    EXPECT_FALSE(InterfaceFilter("!lo").CountsEverything());
}

}  // namespace
