// The process-wide lamp loop, wired to the program's own lamps and totals.
#include "monitor/lamp_thread.h"

#include "lamps/serial_port.h"
#include "monitor/lamp_loop.h"
#include "monitor/traffic_totals.h"
#include "settings/lamp_settings.h"

namespace {

class SystemTraffic final : public TrafficSource {
  public:
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        return QueryTrafficTotals(received, sent);
    }
};

class ProgramTrayLamp final : public TrayLamp {
  public:
    void Show(TrayLampState state) override { ShowTrayLamp(state); }
};

}  // namespace

LampLoop& ProcessLampLoop() {
    static SystemTraffic traffic;
    static ProgramTrayLamp tray;
    static SteadyLampClock clock(stopRequest);
    static LampLoop loop{LampSettings, serialPort, tray, traffic, clock, stopRequest};
    return loop;
}

std::uint32_t LampThreadProc(void* /*parameter*/) {
    return static_cast<std::uint32_t>(RunLampLoop(ProcessLampLoop()));
}
