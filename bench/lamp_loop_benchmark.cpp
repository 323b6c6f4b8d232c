// The loop's own cost per cycle, the poll and the sleeps taken out: what the
// worker adds to each 200 ms beyond reading the totals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "fakes/lamp_rig.h"
#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "monitor/lamp_thread.h"
#include "monitor/traffic_totals.h"
#include "settings/lamp_settings.h"

namespace {

class NoWait final : public LampClock {
  public:
    void Sleep(std::uint32_t /*milliseconds*/) override {}
    void Wake() override {}
};

class SteppingTraffic final : public TrafficSource {
  public:
    explicit SteppingTraffic(std::uint32_t step) : m_step(step) {}
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        m_total += m_step;
        received = sent = m_total;
        return true;
    }

  private:
    std::uint32_t m_step;
    std::uint32_t m_total = 0;
};

class SystemTotals final : public TrafficSource {
  public:
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        return QueryTrafficTotals({}, received, sent);
    }
};

// The test rig's lamps, recording nothing, on the given totals and clock.
struct BenchLoop {
    BenchLoop(TrafficSource& traffic, LampClock& clock)
        : loop{rig.settings, rig.port, rig.fake, traffic, clock, rig.stop} {
        rig.fake.recording = false;
    }
    fakes::LampRig rig;
    LampLoop loop;
};

// range(0): 0 for an idle cycle, 1 for a cycle that flashes every lamp kind.
void BM_LampCycle(benchmark::State& state) {
    SteppingTraffic traffic(static_cast<std::uint32_t>(state.range(0)));
    NoWait clock;
    BenchLoop bench(traffic, clock);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RunLampCycle(bench.loop));
    }
}
BENCHMARK(BM_LampCycle)->Arg(0)->Arg(1);

// The real rhythm: one idle cycle in real time, from one poll to the next,
// with the interfaces of the namespace the benchmark runs in.
void BM_IdleCycleRhythm(benchmark::State& state) {
    SystemTotals traffic;
    std::atomic<int> stop{0};
    SteadyLampClock clock(stop);
    BenchLoop bench(traffic, clock);
    LampLoop& loop = bench.loop;
    RunLampCycle(loop);  // the first poll of a run always counts as activity
    double longest = 0;
    double shortest = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        RunLampCycle(loop);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        longest = std::max(longest, seconds);
        shortest = std::min(shortest, seconds);
    }
    state.counters["shortest_ms"] = shortest * 1e3;
    state.counters["longest_ms"] = longest * 1e3;
}
BENCHMARK(BM_IdleCycleRhythm)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
