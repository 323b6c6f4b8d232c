// Cost of one poll of the traffic totals, with as many interfaces as the
// namespace the benchmarks run in has (see benchmark_main.cpp).
#include <benchmark/benchmark.h>

#include <vector>

#include "monitor/traffic_totals.h"

namespace {

void BM_QueryTrafficTotals(benchmark::State& state) {
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(QueryTrafficTotals(received, sent));
    }
    std::vector<InterfaceCounters> rows;
    ReadInterfaceCounters(rows);
    state.counters["interfaces"] = static_cast<double>(rows.size());
}
BENCHMARK(BM_QueryTrafficTotals);

}  // namespace
