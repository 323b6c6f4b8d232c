// The Linux traffic totals, all or filtered by the Interfaces setting, against
// the real kernel: loopback and veth pairs in a network namespace of the test's own.
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <thread>

#include "monitor/traffic_totals.h"
#include "support/files.h"
#include "support/private_network_linux.h"

namespace {

// Runs body on a thread of its own in a fresh namespace (the totals' socket is
// the thread's), or skips the test when none can be made.
void InPrivateNetwork(const std::function<void()>& body) {
    std::string skip;
    std::thread([&] {
        if ((skip = testsupport::EnterPrivateNetwork()).empty()) {
            body();
        }
    }).join();
    if (!skip.empty()) {
        GTEST_SKIP() << skip;
    }
}

void Shell(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Waits until the interface is up with its carrier on: a veth end drops what
// it is given until its peer is up, which a busy machine may take a moment for.
bool WaitUntilRunning(const std::string& name) {
    return testsupport::WaitFor([&] {
        return std::system(("ip link show " + name + " | grep -q 'state UP'").c_str()) == 0;
    });
}

// IPv6 stays off, so that no autoconfiguration moves a counter behind the test's back.
// High indexes: far above the interface count, as a long-lived host has them.
void CreatePair(const std::string& a, const std::string& b) {
    Shell("sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1");
    Shell("ip link add " + a + " index 500 type veth peer name " + b + " index 501");
    Shell("ip link set " + a + " up && ip link set " + b + " up");
    ASSERT_TRUE(WaitUntilRunning(a) && WaitUntilRunning(b));
}

// Sends a broadcast frame of 1000 bytes out of the named interface: a veth
// end counts it as sent and its peer as received, loopback as both.
void Send(const std::string& from) {
    const std::array<char, 1000> payload{};
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(0x88B5);  // EtherType for local experiments
    link.sll_ifindex = static_cast<int>(if_nametoindex(from.c_str()));
    link.sll_halen = ETH_ALEN;
    std::memset(link.sll_addr, 0xFF, ETH_ALEN);
    const int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(sendto(fd, payload.data(), payload.size(), 0,
                     reinterpret_cast<const sockaddr*>(&link), sizeof(link)),
              static_cast<ssize_t>(payload.size()))
        << from;
    close(fd);
}

// Which of the filtered totals 1000 bytes from the named interface move
// ("neither", "received", "sent" or "both"), looked at once the totals of
// every interface show them sent and received.
std::string Moves(const InterfaceFilter& filter, const std::string& from) {
    TrafficTotals all;
    TrafficTotals before;
    EXPECT_TRUE(QueryTrafficTotals({}, all.received, all.sent));
    QueryTrafficTotals(filter, before.received, before.sent);
    Send(from);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        TrafficTotals now;
        QueryTrafficTotals({}, now.received, now.sent);
        return now.received - all.received >= 1000 && now.sent - all.sent >= 1000;
    })) << from;
    TrafficTotals after;
    QueryTrafficTotals(filter, after.received, after.sent);
    const bool received = after.received - before.received >= 1000;
    const bool sent = after.sent - before.sent >= 1000;
    return received && sent ? "both" : received ? "received" : sent ? "sent" : "neither";
}

// Every interface counts, loopback and veth ends far above the interface
// count alike, unless the filter leaves it out by its name of the moment.
TEST(TrafficTotalsLinux, InterfacesCountByTheirNamesOfTheMomentUnderTheFilter) {
    InPrivateNetwork([] {
        CreatePair("late0", "late1");
        EXPECT_EQ(Moves({}, "lo"), "both");
        EXPECT_EQ(Moves({}, "late0"), "both");
        EXPECT_EQ(Moves(InterfaceFilter("late1"), "late0"), "received");
        const InterfaceFilter filter("!late*");
        EXPECT_EQ(Moves(filter, "late0"), "neither");
        // A rename keeps the index: only the name tells that late0 now counts.
        Shell("ip link set late0 down && ip link set late0 name early0 && ip link set early0 up");
        ASSERT_TRUE(WaitUntilRunning("early0"));
        EXPECT_EQ(Moves(filter, "early0"), "sent");
        // So many changes that the kernel drops some of its messages, the
        // rename back among them: the names must be read again.
        Shell(
            "for i in $(seq 3000); do echo link set lo alias a$i; done | ip -batch - && "
            "ip link set early0 down && ip link set early0 name late0 && ip link set late0 up");
        ASSERT_TRUE(WaitUntilRunning("late0"));
        EXPECT_EQ(Moves(filter, "late0"), "neither");
    });
}

}  // namespace
