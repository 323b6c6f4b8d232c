// The Linux traffic totals against the real kernel, in a network namespace of the test's own.
#include "monitor/traffic_totals.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <thread>

#include "support/files.h"
#include "support/private_network_linux.h"

namespace {

TrafficTotals Poll() {
    TrafficTotals totals;
    EXPECT_TRUE(QueryTrafficTotals(totals.received, totals.sent));
    return totals;
}

// Runs body on a thread of its own in a fresh namespace (the totals' socket is
// the thread's); why none could be made, or empty.
std::string InPrivateNetwork(const std::function<void()>& body) {
    std::string skip;
    std::thread([&] {
        if ((skip = testsupport::EnterPrivateNetwork()).empty()) {
            body();
        }
    }).join();
    return skip;
}

TEST(TrafficTotalsLinux, LoopbackDatagramsMoveBothTotalsAndQuietKeepsThem) {
    const std::string skip = InPrivateNetwork([] {
        const TrafficTotals before = Poll();
        const TrafficTotals again = Poll();
        EXPECT_EQ(before.received, again.received);
        EXPECT_EQ(before.sent, again.sent);
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(9);  // discard: nothing listens, the datagram still crosses lo
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::array<char, 1000> payload{};
        for (int i = 0; i < 10; ++i) {
            sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof(to));
        }
        close(fd);
        // Loopback counts every datagram once as sent and once as received.
        const TrafficTotals after = Poll();
        EXPECT_GE(after.received - before.received, 10'000u);
        EXPECT_GE(after.sent - before.sent, 10'000u);
    });
    if (!skip.empty()) {
        GTEST_SKIP() << skip;
    }
}

TEST(TrafficTotalsLinux, InterfaceAfterLoopbackWithAHighIndexIsCounted) {
    const std::string skip = InPrivateNetwork([] {
        // IPv6 stays off so that no autoconfiguration chatter moves the counters.
        ASSERT_EQ(std::system("sysctl -qw net.ipv6.conf.all.disable_ipv6=1 "
                              "net.ipv6.conf.default.disable_ipv6=1 && "
                              "ip link add v0 index 500 type veth peer name v1 index 501 && "
                              "ip link set v0 up && ip link set v1 up"),
                  0);
        const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_ifindex = 500;
        to.sll_halen = ETH_ALEN;
        std::array<unsigned char, 1000> frame{};
        frame.fill(0xFF);  // broadcast; source 02:ff:.. is locally administered
        frame[6] = 0x02;
        frame[12] = 0x88;  // EtherType 0x88B5, for local experiments
        frame[13] = 0xB5;
        const TrafficTotals before = Poll();
        ASSERT_EQ(
            sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
            static_cast<ssize_t>(frame.size()));
        close(fd);
        // Only v0 sends, and veth counts the frame once its peer has taken it in.
        EXPECT_TRUE(testsupport::WaitFor([&] {
            const TrafficTotals after = Poll();
            return after.sent - before.sent >= frame.size() &&
                   after.received - before.received >= frame.size();
        }));
    });
    if (!skip.empty()) {
        GTEST_SKIP() << skip;
    }
}

}  // namespace
