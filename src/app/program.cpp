// The process-wide objects, in one place so that their order is fixed, and the
// program's wiring of settings, serial lamp, worker and commands.
#include "app/program.h"

#include <utility>

#include "monitor/traffic_totals.h"

CKeyboardLed capsLockLed(kVirtualKeyCapsLock, SystemLockKeyDriver());
CKeyboardLed scrollLockLed(kVirtualKeyScrollLock, SystemLockKeyDriver());
CKeyboardLed numLockLed(kVirtualKeyNumLock, SystemLockKeyDriver());
CSerialPort serialPort(SystemSerialLineDriver());

// Only addresses are taken here, so these are initialised before any of the above.
constinit LampSettingsRecord LampSettings(&capsLockLed, &scrollLockLed);
constinit std::atomic<int> stopRequest{0};
constinit DialogSlots dialogBusy{};

namespace {

// The machine's totals over the interfaces the Interfaces setting chose.
class SystemTraffic final : public TrafficSource {
  public:
    explicit SystemTraffic(InterfaceFilter filter) : m_filter(std::move(filter)) {}
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        return QueryTrafficTotals(m_filter, received, sent);
    }

  private:
    const InterfaceFilter m_filter;
};

}  // namespace

const KeyboardLedTable Program::kLamps = {&capsLockLed, &scrollLockLed, &numLockLed};

Program::Program(Shell& shell)
    : m_store(OpenIniStore(GetIniPath())),
      m_commands(shell, LampSettings, kLamps, *m_store, serialPort, dialogBusy) {}

Program::~Program() {
    StopWorker();
}

void Program::Start(TrayLamp& tray) {
    LoadSettings(LampSettings, *m_store, kLamps);
    m_traffic =
        std::make_unique<SystemTraffic>(MakeInterfaceFilter(m_store->ReadText(kInterfacesKey)));
    m_loaded = true;
    tray.Add();
    ApplySerialLamp(serialPort, LampSettings);
    m_loop.emplace(LampLoop{LampSettings, serialPort, tray, *m_traffic, m_clock, stopRequest});
    StartLampThread(*m_loop);
}

bool Program::StopWorker() {
    return !m_loop || StopLampThread(*m_loop, kStopTimeoutMilliseconds);
}

bool Program::Save() {
    return m_loaded && SaveSettings(LampSettings, *m_store, kLamps);
}

void Program::SaveAtEnd() {
    if (!m_savedAtEnd) {
        m_savedAtEnd = true;
        Save();
    }
}
