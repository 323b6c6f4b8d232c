// The Interfaces setting on the IP Helper's aliases (Wine's, in the test runs).
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format off
#include <ws2ipdef.h>
#include <iphlpapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>

#include "monitor/traffic_totals.h"

namespace {

// The loopback interface's alias ("lo" under Wine) with its first letter in the
// other case, so that neither the pattern nor the alias is in one case alone.
std::string LoopbackAliasInOtherCase() {
    std::string alias;
    MIB_IF_TABLE2* table = nullptr;
    if (GetIfTable2(&table) != NO_ERROR) {
        return alias;
    }
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        if (table->Table[i].Type == IF_TYPE_SOFTWARE_LOOPBACK) {
            for (const wchar_t* c = table->Table[i].Alias; *c != L'\0'; ++c) {
                alias += static_cast<char>(*c);
            }
            alias[0] = static_cast<char>(std::isupper(alias[0]) ? std::tolower(alias[0])
                                                                : std::toupper(alias[0]));
            break;
        }
    }
    FreeMibTable(table);
    return alias;
}

TEST(InterfaceFilterWin, LoopbackIsChosenOrLeftOutByItsAliasInAnyCase) {
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    const std::string alias = LoopbackAliasInOtherCase();
    ASSERT_FALSE(alias.empty());
    const std::array<InterfaceFilter, 3> filters = {InterfaceFilter(), MakeInterfaceFilter(alias),
                                                    MakeInterfaceFilter(" !" + alias)};
    std::array<TrafficTotals, 3> before;
    for (std::size_t i = 0; i < filters.size(); ++i) {
        ASSERT_TRUE(QueryTrafficTotals(filters[i], before[i].received, before[i].sent)) << i;
    }

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

    // Polled in reverse, so that the whole table's change spans the other two:
    // whatever else the machine sends, what it moves beyond the filter leaving
    // loopback out is at least the loopback traffic.
    std::array<TrafficTotals, 3> after;
    for (std::size_t i = filters.size(); i-- > 0;) {
        ASSERT_TRUE(QueryTrafficTotals(filters[i], after[i].received, after[i].sent)) << i;
    }
    EXPECT_GE(after[1].received - before[1].received, 20u * 1000u) << alias;
    EXPECT_GE(after[1].sent - before[1].sent, 20u * 1000u) << alias;
    const auto moved = [&](std::size_t i, std::uint32_t TrafficTotals::*total) {
        return after[i].*total - before[i].*total;
    };
    EXPECT_GE(moved(0, &TrafficTotals::received) - moved(2, &TrafficTotals::received), 20u * 1000u);
    EXPECT_GE(moved(0, &TrafficTotals::sent) - moved(2, &TrafficTotals::sent), 20u * 1000u);
    WSACleanup();
}

}  // namespace
