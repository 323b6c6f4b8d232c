// Folds the platform's interface counters into the totals the lamp loop compares.
#include "monitor/traffic_totals.h"

bool SumTrafficTotals(bool tableRead, std::span<const InterfaceCounters> rows,
                      std::uint32_t& received, std::uint32_t& sent) {
    received = 0;
    sent = 0;
    if (!tableRead || rows.empty()) {
        return false;
    }
    for (const InterfaceCounters& row : rows) {
        // Only equality with the last pair matters, so the sums may wrap freely.
        received += static_cast<std::uint32_t>(row.received);
        sent += static_cast<std::uint32_t>(row.sent);
    }
    return true;
}

bool QueryTrafficTotals(std::uint32_t& received, std::uint32_t& sent) {
    // Kept between polls so that a poll allocates nothing once the table has been
    // seen; only the worker thread polls, but tests may poll from several threads.
    thread_local std::vector<InterfaceCounters> rows;
    const bool tableRead = ReadInterfaceCounters(rows);
    return SumTrafficTotals(tableRead, rows, received, sent);
}
