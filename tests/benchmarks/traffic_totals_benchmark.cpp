// Cost of one poll of the traffic totals on this machine.
#include <benchmark/benchmark.h>

#include "monitor/traffic_totals.h"

namespace {

void BM_QueryTrafficTotals(benchmark::State& state) {
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(QueryTrafficTotals(received, sent));
    }
}
BENCHMARK(BM_QueryTrafficTotals);

}  // namespace
