// The Linux traffic totals, all or filtered by the Interfaces setting, against
// the real kernel: loopback and veth pairs in a network namespace of the test's own.
#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>

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

// IPv6 stays off, so that no autoconfiguration moves a counter behind the test's back.
// High indexes: far above the interface count, as a long-lived host has them.
void CreatePair(const std::string& a, const std::string& b, bool highIndexes = false) {
    Shell("sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1");
    Shell("ip link add " + a + (highIndexes ? " index 500" : "") + " type veth peer name " + b +
          (highIndexes ? " index 501" : ""));
    Shell("ip link set " + a + " up && ip link set " + b + " up");
    ASSERT_TRUE(testsupport::WaitUntilRunning(a.c_str()) &&
                testsupport::WaitUntilRunning(b.c_str()));
}

// Sends 1000 bytes out of the named interface: a broadcast frame from a veth
// end, a datagram over loopback (which counts it as sent and as received).
void Send(const std::string& from) {
    const std::array<char, 1000> payload{};
    sockaddr_in host{};
    host.sin_family = AF_INET;
    host.sin_port = htons(9);  // discard: nothing listens, the datagram still crosses lo
    host.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(0x88B5);  // EtherType for local experiments
    link.sll_ifindex = static_cast<int>(if_nametoindex(from.c_str()));
    link.sll_halen = ETH_ALEN;
    std::memset(link.sll_addr, 0xFF, ETH_ALEN);
    const bool loopback = from == "lo";
    const int fd = socket(loopback ? AF_INET : AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const auto* to = loopback ? reinterpret_cast<const sockaddr*>(&host)
                              : reinterpret_cast<const sockaddr*>(&link);
    EXPECT_EQ(
        sendto(fd, payload.data(), payload.size(), 0, to, loopback ? sizeof(host) : sizeof(link)),
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

TEST(TrafficTotalsLinux, EveryInterfaceCountsUnlessTheFilterLeavesItOut) {
    struct Case {
        const char* patterns;
        const char* from;  // v0 sends to v1, v1 to v0, lo to itself
        const char* moves;
    };
    InPrivateNetwork([] {
        TrafficTotals quiet[2];
        for (TrafficTotals& totals : quiet) {
            ASSERT_TRUE(QueryTrafficTotals({}, totals.received, totals.sent));
        }
        EXPECT_EQ(quiet[1].received - quiet[0].received + quiet[1].sent - quiet[0].sent, 0u);
        CreatePair("v0", "v1", true);
        for (const Case& c :
             {Case{"", "lo", "both"}, Case{"", "v0", "both"}, Case{"!v*", "v0", "neither"},
              Case{"!v*", "lo", "both"}, Case{"v0", "v0", "sent"}, Case{"v0", "v1", "received"},
              Case{"v0", "lo", "neither"}, Case{"lo, V0", "v0", "neither"}}) {
            EXPECT_EQ(Moves(InterfaceFilter(c.patterns), c.from), c.moves)
                << "patterns \"" << c.patterns << "\", traffic from " << c.from;
        }
    });
}

TEST(TrafficTotalsLinux, InterfacesAddedOrRenamedLaterFollowTheFilter) {
    InPrivateNetwork([] {
        const InterfaceFilter filter("!late*");
        TrafficTotals totals;
        ASSERT_TRUE(QueryTrafficTotals(filter, totals.received, totals.sent));
        CreatePair("late0", "late1");
        EXPECT_EQ(Moves(filter, "late0"), "neither");
        // A rename keeps the index: only the name tells that late0 now counts.
        Shell("ip link set late0 down && ip link set late0 name early0 && ip link set early0 up");
        ASSERT_TRUE(testsupport::WaitUntilRunning("early0"));
        EXPECT_EQ(Moves(filter, "early0"), "sent");
        // So many changes that the kernel drops some of its messages, the
        // rename back among them: the names must be read again.
        Shell(
            "for i in $(seq 3000); do echo link set lo alias a$i; done | ip -batch - && "
            "ip link set early0 down && ip link set early0 name late0 && ip link set late0 up");
        ASSERT_TRUE(testsupport::WaitUntilRunning("late0"));
        EXPECT_EQ(Moves(filter, "late0"), "neither");
    });
}

}  // namespace
