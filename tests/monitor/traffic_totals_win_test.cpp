// The Windows traffic totals through Wine's IP Helper, in a network of the test's
// own whose only interface is loopback (network_of_its_own_win.sh), filtered by
// the Interfaces setting on its alias: in any case, and once renamed by its new name.
#include <winsock2.h>
// clang-format off
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <array>

#include "monitor/traffic_totals.h"

namespace {

// Whether 20 datagrams of 1000 bytes over loopback move both totals.
bool MovedByLoopbackTraffic(const InterfaceFilter& filter) {
    TrafficTotals before;
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
    TrafficTotals after;
    QueryTrafficTotals(filter, after.received, after.sent);
    return after.received - before.received >= 20000 && after.sent - before.sent >= 20000;
}

TEST(TrafficTotalsWin, CountLoopbackByItsAliasInAnyCaseAndOnceRenamedByItsNewOne) {
    wchar_t rename[64] = {};
    if (GetEnvironmentVariableW(L"VELUMIN_RENAME_LOOPBACK", rename, 64) == 0) {
        GTEST_SKIP() << "runs in a network of its own: tests/monitor/network_of_its_own_win.sh";
    }
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    EXPECT_TRUE(MovedByLoopbackTraffic(InterfaceFilter()));
    EXPECT_TRUE(MovedByLoopbackTraffic(MakeInterfaceFilter("Lo")));
    // One filter polled before and after the rename, as the program polls one.
    const InterfaceFilter allButLoopback = MakeInterfaceFilter(" !lO");
    EXPECT_FALSE(MovedByLoopbackTraffic(allButLoopback));
    // Opening the pipe has loopback renamed; Wine's driver reports it before long.
    CloseHandle(CreateFileW(rename, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    bool moved = false;
    for (int poll = 0; poll < 600 && !(moved = MovedByLoopbackTraffic(allButLoopback)); ++poll) {
        Sleep(100);
    }
    EXPECT_TRUE(moved) << "judged by its old name";
    WSACleanup();
}

}  // namespace
