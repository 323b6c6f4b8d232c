// Cost of one poll of the traffic totals, optionally in a network namespace of
// the benchmark's own holding a chosen number of interfaces:
//   velumin_benchmarks [--interfaces=N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "monitor/traffic_totals.h"
#include "support/private_network_linux.h"

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

// A fresh namespace for the whole process: loopback plus count - 1 ifb devices.
bool EnterNamespaceWithInterfaces(int count) {
    if (unshare(CLONE_NEWNET) != 0) {
        std::perror("unshare(CLONE_NEWNET) (needs root)");
        return false;
    }
    if (!testsupport::BringLoopbackUp()) {
        return false;
    }
    for (int i = 1; i < count; ++i) {
        const std::string command = "ip link add bench" + std::to_string(i) + " type ifb";
        if (std::system(command.c_str()) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--interfaces=", 13) == 0) {
            if (!EnterNamespaceWithInterfaces(std::atoi(argv[i] + 13))) {
                return 1;
            }
            argv[i] = argv[--argc];
            break;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
