// The Windows traffic totals through the real IP Helper (Wine's, in the test
// runs), all or filtered by the Interfaces setting on the interfaces' aliases.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <array>

#include "monitor/traffic_totals.h"

namespace {

TEST(TrafficTotalsWin, LoopbackMovesTheTotalsUnlessItsAliasInAnyCaseLeavesItOut) {
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    // Wine names its loopback interface "lo"; mixed case tests both sides' folding.
    const std::array<InterfaceFilter, 3> filters = {InterfaceFilter(), MakeInterfaceFilter("Lo"),
                                                    MakeInterfaceFilter(" !lO")};
    std::array<TrafficTotals, 3> before;
    for (std::size_t i = 0; i < filters.size(); ++i) {
        ASSERT_TRUE(QueryTrafficTotals(filters[i], before[i].received, before[i].sent)) << i;
    }
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
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
    // Polled in reverse, so that the whole table's change spans the other two:
    // whatever else the machine sends, the whole table moves by at least the
    // loopback traffic more than the filter that leaves loopback out.
    std::array<TrafficTotals, 3> after;
    for (std::size_t i = filters.size(); i-- > 0;) {
        ASSERT_TRUE(QueryTrafficTotals(filters[i], after[i].received, after[i].sent)) << i;
    }
    for (std::uint32_t TrafficTotals::*total : {&TrafficTotals::received, &TrafficTotals::sent}) {
        const auto moved = [&](std::size_t i) { return after[i].*total - before[i].*total; };
        EXPECT_GE(moved(1), 20u * 1000u);
        EXPECT_GE(moved(0) - moved(2), 20u * 1000u);
    }
    WSACleanup();
}

}  // namespace
