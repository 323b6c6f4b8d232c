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
#include <functional>
#include <string>

#include "monitor/traffic_totals.h"
#include "support/private_network_linux.h"
#include "support/wait.h"

namespace {

constexpr std::uint32_t kBytes = 1000;

void Shell(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// IPv6 stays off, so that no autoconfiguration moves a counter behind the test's back.
void CreatePair(const std::string& a, const std::string& b) {
    Shell(
        "sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 && "
        "ip link add " +
        a + " type veth peer name " + b + " && ip link set " + a + " up && ip link set " + b +
        " up");
}

// One broadcast frame out of the named interface, or datagrams over loopback:
// at least kBytes sent and received either way.
void Send(const std::string& from) {
    if (from == "lo") {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(9);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::array<char, kBytes> payload{};
        EXPECT_EQ(sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to),
                         sizeof(to)),
                  static_cast<ssize_t>(payload.size()));
        close(fd);
        return;
    }
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_ifindex = static_cast<int>(if_nametoindex(from.c_str()));
    to.sll_halen = ETH_ALEN;
    std::array<unsigned char, kBytes> frame{};
    frame.fill(0xFF);  // broadcast destination
    frame[6] = 0x02;   // a locally administered source address
    frame[12] = 0x88;  // EtherType 0x88B5, for local experiments
    frame[13] = 0xB5;
    EXPECT_EQ(
        sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
        static_cast<ssize_t>(frame.size()))
        << from;
    close(fd);
}

// Which of the filtered totals the traffic moves: "neither", "received", "sent"
// or "both", looked at once the totals of every interface show all of it.
std::string Moves(const InterfaceFilter& filter, const std::string& from) {
    TrafficTotals all;
    TrafficTotals before;
    EXPECT_TRUE(QueryTrafficTotals(all.received, all.sent));
    QueryTrafficTotals(filter, before.received, before.sent);
    Send(from);
    // veth counts a frame when its peer has taken it in, a moment after sendto.
    EXPECT_TRUE(testsupport::WaitFor([&] {
        TrafficTotals now;
        QueryTrafficTotals(now.received, now.sent);
        return now.received - all.received >= kBytes && now.sent - all.sent >= kBytes;
    }));
    TrafficTotals after;
    QueryTrafficTotals(filter, after.received, after.sent);
    const bool received = after.received != before.received;
    const bool sent = after.sent != before.sent;
    return received && sent ? "both" : received ? "received" : sent ? "sent" : "neither";
}

#define SKIP_UNLESS_EMPTY(reason) \
    if (!(reason).empty()) {      \
        GTEST_SKIP() << (reason); \
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
    SKIP_UNLESS_EMPTY(skip);
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
        EXPECT_EQ(Moves(filter, "early0"), "sent");
        // So many changes that the kernel drops some of its messages, the
        // rename back among them: the names must be read again.
        Shell(
            "for i in $(seq 3000); do echo link set lo alias a$i; done | ip -batch - && "
            "ip link set early0 down && ip link set early0 name late0 && ip link set late0 up");
        EXPECT_EQ(Moves(filter, "late0"), "neither");
    });
    SKIP_UNLESS_EMPTY(skip);
}

}  // namespace
