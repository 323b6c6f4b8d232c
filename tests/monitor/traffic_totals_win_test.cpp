// The Windows traffic totals through Wine's IP Helper, in a network of the test's
// own whose only interface is loopback (network_of_its_own_win.sh): all of them,
// or filtered by the Interfaces setting on the alias, also once it is renamed.
#include <winsock2.h>
// clang-format off
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "monitor/traffic_totals.h"

namespace {

std::wstring OnlyAlias() {
    MIB_IF_TABLE2* table = nullptr;
    std::wstring alias;
    if (GetIfTable2(&table) == NO_ERROR) {
        alias = table->NumEntries == 1 ? table->Table[0].Alias : L"";
        FreeMibTable(table);
    }
    return alias;
}

// Whether 20 datagrams of 1000 bytes over loopback move both totals.
bool MovedByLoopbackTraffic(const InterfaceFilter& filter) {
    TrafficTotals before;
    TrafficTotals after;
    QueryTrafficTotals(filter, before.received, before.sent);
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::array<char, 1000> payload{};
    for (int i = 0; i < 20; ++i) {
        sendto(s, payload.data(), int(payload.size()), 0, reinterpret_cast<sockaddr*>(&to),
               sizeof(to));
    }
    closesocket(s);
    QueryTrafficTotals(filter, after.received, after.sent);
    return after.received - before.received >= 20000 && after.sent - before.sent >= 20000;
}

TEST(TrafficTotalsWin, LoopbackCountsByItsAliasInAnyCaseAndOnceRenamedByItsNewOne) {
    wchar_t network[1024] = {};
    if (GetEnvironmentVariableW(L"VELUMIN_NETWORK_OF_ITS_OWN", network, 1024) == 0) {
        GTEST_SKIP() << "runs in a network of its own: tests/monitor/network_of_its_own_win.sh";
    }
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    ASSERT_EQ(OnlyAlias(), L"lo");
    // Mixed case tests both sides' folding. "!lO" is polled last before the
    // rename and first after it, as the program polls one filter all along.
    const std::array<InterfaceFilter, 3> filters = {InterfaceFilter(), MakeInterfaceFilter("Lo"),
                                                    MakeInterfaceFilter(" !lO")};
    for (const bool renamed : {false, true}) {
        for (std::size_t k = 0; k < filters.size(); ++k) {
            const std::size_t i = renamed ? filters.size() - 1 - k : k;
            EXPECT_EQ(MovedByLoopbackTraffic(filters[i]), i == 0 || (i == 1) != renamed)
                << "filter " << i << (renamed ? " once renamed" : "");
        }
        if (!renamed) {
            std::wstring rename = L"Z:\\bin\\sh \"" + std::wstring(network) + L"\" rename renamed";
            STARTUPINFOW startup{};
            startup.cb = sizeof(startup);
            PROCESS_INFORMATION process{};
            ASSERT_TRUE(CreateProcessW(nullptr, rename.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                       nullptr, &startup, &process));
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            for (int wait = 0; wait < 3000 && OnlyAlias() != L"renamed"; ++wait) {
                Sleep(20);
            }
            ASSERT_EQ(OnlyAlias(), L"renamed");
        }
    }
    WSACleanup();
}

}  // namespace
