// The process-wide objects, in one place so that their order is fixed, and
// the program's start and its one stop.
#include "app/program.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "lamps/serial_port.h"
#include "monitor/lamp_loop.h"
#include "monitor/traffic_totals.h"
#include "settings/lamp_settings.h"
#include "ui/dialog_slots.h"

// The lamps are made in this order with the first program, once the options
// and the instance lock are read and the build has chosen its lock-key
// driver, and destroyed in reverse as the process exits: the port is closed,
// then NumLock, ScrollLock and CapsLock get back the state they had when made.
struct Program::ProcessObjects {
    explicit ProcessObjects(LockKeyDriver& lockKeys)
        : capsLockLed(kVirtualKeyCapsLock, lockKeys),
          scrollLockLed(kVirtualKeyScrollLock, lockKeys),
          numLockLed(kVirtualKeyNumLock, lockKeys),
          serialPort(SystemSerialLineDriver()) {}

    CKeyboardLed capsLockLed;
    CKeyboardLed scrollLockLed;
    CKeyboardLed numLockLed;
    CSerialPort serialPort;
    // Receive on CapsLock and send on ScrollLock until the settings are loaded.
    LampSettingsRecord LampSettings{&capsLockLed, &scrollLockLed};
};

namespace {

constinit std::atomic<int> stopRequest{0};
constinit DialogSlots dialogBusy{};

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

Program::ProcessObjects& Program::MakeProcessObjects(LockKeyDriver& lockKeys) {
    static ProcessObjects objects(lockKeys);
    return objects;
}

Program::Program(LockKeyDriver& lockKeys)
    : m_objects(MakeProcessObjects(lockKeys)),
      m_lamps{&m_objects.capsLockLed, &m_objects.scrollLockLed, &m_objects.numLockLed},
      m_store(OpenIniStore(GetIniPath())),
      m_commands(*this, m_objects.LampSettings, m_lamps, *m_store, m_objects.serialPort,
                 dialogBusy),
      m_clock(stopRequest) {}

void Program::Start(TrayLamp& tray) {
    LampSettingsRecord& settings = m_objects.LampSettings;
    LoadSettings(settings, *m_store, m_lamps);
    // The patterns are read here only, and never saved.
    m_traffic =
        std::make_unique<SystemTraffic>(MakeInterfaceFilter(m_store->ReadText(kInterfacesKey)));
    m_loaded = true;
    m_tray = &tray;
    tray.Add();
    ApplySerialLamp(m_objects.serialPort, settings);
    m_loop.emplace(
        LampLoop{settings, m_objects.serialPort, tray, *m_traffic, m_clock, stopRequest});
    StartLampThread(*m_loop);
}

void Program::Stop() {
    // A way out that comes while the stop runs (a message the system sends
    // meanwhile, a quit from inside a dialog) finds it begun.
    if (m_stopping) {
        return;
    }
    m_stopping = true;
    // The worker first, so that nothing touches the tray icon after its removal.
    const bool workerStopped = !m_loop || StopLampThread(*m_loop, kStopTimeoutMilliseconds);
    ReleaseInstanceLock();
    if (m_tray != nullptr) {
        m_tray->Remove();
    }
    SaveAtEnd();
    if (!workerStopped) {
        EndLeavingWorkerBehind();
    }
    EndHost();
}

void Program::Save() {
    if (m_loaded) {
        SaveSettings(m_objects.LampSettings, *m_store, m_lamps);
    }
}

void Program::SaveAtEnd() {
    const std::lock_guard<std::mutex> lock(m_saveAtEndMutex);
    if (!m_savedAtEnd) {
        m_savedAtEnd = true;
        Save();
    }
}

// A worker that did not stop in time may still run (Linux leaves it behind)
// or may have died holding a lock (Windows ends it by force): nothing it uses
// may be destroyed. The port and the keys are given back as their destructors
// would, last made first, and the process ends at once.
void Program::EndLeavingWorkerBehind() {
    m_objects.serialPort.Close();
    for (auto lamp = m_lamps.rbegin(); lamp != m_lamps.rend(); ++lamp) {
        (*lamp)->Restore();
    }
    std::fflush(nullptr);
    std::_Exit(0);
}
