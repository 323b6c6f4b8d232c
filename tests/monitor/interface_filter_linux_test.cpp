// The Interfaces setting against the real kernel: loopback and veth pairs in a
// network namespace of the test's own.
#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "monitor/traffic_totals.h"
#include "support/private_network_linux.h"
#include "support/wait.h"

namespace {

void Shell(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// IPv6 stays off, so that no autoconfiguration moves a counter behind the test's back.
void CreatePair(const std::string& a, const std::string& b) {
    Shell("sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1");
    Shell("ip link add " + a + " type veth peer name " + b);
    Shell("ip link set " + a + " up && ip link set " + b + " up");
    ASSERT_TRUE(testsupport::WaitUntilRunning(a.c_str()) &&
                testsupport::WaitUntilRunning(b.c_str()));
}

// Sends 1000 bytes out of the named interface: a broadcast frame from a veth
// end, a datagram over loopback.
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
    QueryTrafficTotals(all.received, all.sent);
    QueryTrafficTotals(filter, before.received, before.sent);
    Send(from);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        TrafficTotals now;
        QueryTrafficTotals(now.received, now.sent);
        return now.received - all.received >= 1000 && now.sent - all.sent >= 1000;
    })) << from;
    TrafficTotals after;
    QueryTrafficTotals(filter, after.received, after.sent);
    const bool received = after.received != before.received;
    const bool sent = after.sent != before.sent;
    return received && sent ? "both" : received ? "received" : sent ? "sent" : "neither";
}

TEST(InterfaceFilterLinux, OnlyTheChosenInterfacesMoveTheTotals) {
    struct Case {
        const char* patterns;
        const char* from;  // v0 sends to v1, v1 to v0, lo to itself
        const char* moves;
    };
    const std::string skip = testsupport::RunInPrivateNetwork([] {
        CreatePair("v0", "v1");
        for (const Case& c : {Case{"!v*", "v0", "neither"}, Case{"!v*", "lo", "both"},
                              Case{"v0", "v0", "sent"}, Case{"v0", "v1", "received"},
                              Case{"v0", "lo", "neither"}, Case{"lo, V0", "v0", "neither"}}) {
            EXPECT_EQ(Moves(InterfaceFilter(c.patterns), c.from), c.moves)
                << "patterns \"" << c.patterns << "\", traffic from " << c.from;
        }
    });
    if (!skip.empty()) {
        GTEST_SKIP() << skip;
    }
}

TEST(InterfaceFilterLinux, InterfacesAddedOrRenamedLaterFollowTheRule) {
    const std::string skip = testsupport::RunInPrivateNetwork([] {
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
    if (!skip.empty()) {
        GTEST_SKIP() << skip;
    }
}

}  // namespace
