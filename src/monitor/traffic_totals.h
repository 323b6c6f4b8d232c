// Cumulative octet totals over the network interfaces of the machine.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "monitor/interface_filter.h"

// Two wrapping 32-bit sums; the loop only ever compares a pair with the previous one.
struct TrafficTotals {
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
};

// One interface's cumulative counters as the platform reports them.
struct InterfaceCounters {
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
};

// The summing half of QueryTrafficTotals: 64-bit counters folded into the
// wrapping 32-bit sums. Both outputs are always written (0 and 0 when nothing
// could be read); true only when the table was read and listed an interface.
bool SumTrafficTotals(bool tableRead, std::span<const InterfaceCounters> rows,
                      std::uint32_t& received, std::uint32_t& sent);

// Platform half: sums the counters of every interface that filter counts,
// loopback included, whatever its type or state, from one read of the system's
// table, with SumTrafficTotals's results. Names are looked up only when the
// interfaces change (appear, go, are renamed), and never without a pattern.
bool QueryTrafficTotals(const InterfaceFilter& filter, std::uint32_t& received,
                        std::uint32_t& sent);

// This platform's filter for the Interfaces setting: Linux matches the
// kernel's names as written, Windows matches the aliases ignoring case.
InterfaceFilter MakeInterfaceFilter(std::string_view patterns);
