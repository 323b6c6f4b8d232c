// The Windows traffic totals through the real IP Helper (Wine's, in the test runs).
#include "monitor/traffic_totals.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(TrafficTotalsWin, LoopbackTrafficMovesTheTotals) {
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    TrafficTotals before;
    ASSERT_TRUE(QueryTrafficTotals(before.received, before.sent));

    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(s, INVALID_SOCKET);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::array<char, 1000> payload{};
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(sendto(s, payload.data(), static_cast<int>(payload.size()), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof(to)),
                  static_cast<int>(payload.size()));
    }
    closesocket(s);

    TrafficTotals after;
    ASSERT_TRUE(QueryTrafficTotals(after.received, after.sent));
    EXPECT_GE(after.received - before.received, 20u * 1000u);
    EXPECT_GE(after.sent - before.sent, 20u * 1000u);
    WSACleanup();
}

}  // namespace
