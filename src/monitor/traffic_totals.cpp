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
