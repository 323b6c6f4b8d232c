// The Linux traffic totals against the real kernel, in a namespace of the test's own.
#include "monitor/traffic_totals.h"

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

#include "support/private_network_linux.h"
#include "support/wait.h"

namespace {

TrafficTotals Poll() {
    TrafficTotals totals;
    EXPECT_TRUE(QueryTrafficTotals(totals.received, totals.sent));
    return totals;
}

void SendUdpToLoopback(int count, std::size_t size) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);  // discard: nothing listens, the datagram still crosses lo
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::array<char, 1400> payload{};
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(sendto(fd, payload.data(), size, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
                  static_cast<ssize_t>(size));
    }
    close(fd);
}

#define SKIP_UNLESS_EMPTY(reason) \
    if (!(reason).empty()) {      \
        GTEST_SKIP() << (reason); \
    }

TEST(TrafficTotalsLinux, QuietNetworkGivesEqualPolls) {
    const std::string skip = testsupport::RunInPrivateNetwork([] {
        const TrafficTotals first = Poll();
        const TrafficTotals second = Poll();
        EXPECT_EQ(first.received, second.received);
        EXPECT_EQ(first.sent, second.sent);
    });
    SKIP_UNLESS_EMPTY(skip);
}

TEST(TrafficTotalsLinux, LoopbackDatagramsMoveBothTotals) {
    const std::string skip = testsupport::RunInPrivateNetwork([] {
        const TrafficTotals before = Poll();
        SendUdpToLoopback(10, 1000);
        const TrafficTotals after = Poll();
        // Loopback counts every datagram once as sent and once as received.
        EXPECT_GE(after.received - before.received, 10u * 1000u);
        EXPECT_GE(after.sent - before.sent, 10u * 1000u);
    });
    SKIP_UNLESS_EMPTY(skip);
}

TEST(TrafficTotalsLinux, InterfaceWithIndexAboveTheCountIsCounted) {
    const std::string skip = testsupport::RunInPrivateNetwork([] {
        // Three interfaces, two of them numbered far above three. IPv6 stays off so
        // that no autoconfiguration chatter moves the counters behind the test's back.
        ASSERT_EQ(std::system("sysctl -qw net.ipv6.conf.all.disable_ipv6=1 "
                              "net.ipv6.conf.default.disable_ipv6=1 && "
                              "ip link add v0 index 500 type veth peer name v1 index 501 && "
                              "ip link set v0 up && ip link set v1 up"),
                  0);
        ASSERT_TRUE(testsupport::WaitUntilRunning("v0") && testsupport::WaitUntilRunning("v1"));
        const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_ifindex = static_cast<int>(if_nametoindex("v0"));
        ASSERT_EQ(to.sll_ifindex, 500);
        to.sll_halen = ETH_ALEN;
        std::array<unsigned char, 1000> frame{};
        frame.fill(0xFF);  // broadcast destination; the payload does not matter
        frame[6] = 0x02;   // a locally administered source address
        frame[12] = 0x88;  // EtherType 0x88B5, reserved for local experiments
        frame[13] = 0xB5;

        const TrafficTotals before = Poll();
        ASSERT_EQ(
            sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
            static_cast<ssize_t>(frame.size()));
        close(fd);
        // veth counts the frame when its peer has taken it in, which a busy
        // machine may do a moment after sendto returns.
        TrafficTotals after;
        testsupport::WaitFor([&] {
            after = Poll();
            return after.sent - before.sent >= frame.size() &&
                   after.received - before.received >= frame.size();
        });
        // Only v0 sends: the sent total can only move if index 500 is counted.
        EXPECT_GE(after.sent - before.sent, frame.size());
        EXPECT_GE(after.received - before.received, frame.size());
    });
    SKIP_UNLESS_EMPTY(skip);
}

}  // namespace
