// Cost of one poll of the traffic totals, with as many interfaces as the
// namespace the benchmarks run in has (see benchmark_main.cpp).
#include <net/if.h>

#include <benchmark/benchmark.h>

#include "monitor/traffic_totals.h"

namespace {

void BM_QueryTrafficTotals(benchmark::State& state) {
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(QueryTrafficTotals({}, received, sent));
    }
    double interfaces = 0;
    if (struct if_nameindex* names = if_nameindex()) {
        for (const struct if_nameindex* name = names; name->if_index != 0; ++name) {
            ++interfaces;
        }
        if_freenameindex(names);
    }
    state.counters["interfaces"] = interfaces;
}
BENCHMARK(BM_QueryTrafficTotals);

// The same poll through three patterns, as a user leaving out loopback,
// container bridges and their pairs would write them.
void BM_QueryTrafficTotalsFiltered(benchmark::State& state) {
    const InterfaceFilter filter("!lo, !docker*, !veth*");
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(QueryTrafficTotals(filter, received, sent));
    }
}
BENCHMARK(BM_QueryTrafficTotalsFiltered);

}  // namespace
