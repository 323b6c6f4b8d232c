// Interface counters from the IP Helper: one GetIfTable2 read per poll, every row.
#include "monitor/traffic_totals.h"

// The order matters: GetIfTable2 is declared only after winsock2 and ws2ipdef.
#include <winsock2.h>
// clang-format off
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

bool QueryTrafficTotals(std::uint32_t& received, std::uint32_t& sent) {
    // Kept by each polling thread, so that a poll allocates nothing once the
    // table has been seen.
    thread_local std::vector<InterfaceCounters> rows;
    rows.clear();
    MIB_IF_TABLE2* table = nullptr;
    if (GetIfTable2(&table) != NO_ERROR || table == nullptr) {
        return SumTrafficTotals(false, rows, received, sent);
    }
    // Every row counts: interface indices are sparse, so the table itself is
    // the only complete list of what the machine has.
    rows.reserve(table->NumEntries);
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        rows.push_back({table->Table[i].InOctets, table->Table[i].OutOctets});
    }
    FreeMibTable(table);
    return SumTrafficTotals(true, rows, received, sent);
}
