// Fakes of the lamp loop's surroundings that write every operation, in order,
// into one shared timeline, so a test can compare a whole cycle at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "lamps/tray_lamp.h"
#include "monitor/lamp_loop.h"

namespace fakes {

class Timeline {
  public:
    void Add(std::string event) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    std::vector<std::string> Take() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_events, {});
    }

  private:
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

inline const char* KeyName(int virtualKey) {
    switch (virtualKey) {
        case kVirtualKeyCapsLock:
            return "Caps";
        case kVirtualKeyScrollLock:
            return "Scroll";
        case kVirtualKeyNumLock:
            return "Num";
        default:
            return "?";
    }
}

// Lock keys whose flips are seen at once; the timeline shows each injected flip.
class TimelineLockKeys final : public LockKeyDriver {
  public:
    explicit TimelineLockKeys(Timeline& timeline) : m_timeline(timeline) {}
    int GetLockState(int virtualKey) override { return m_state[virtualKey]; }
    void ToggleLock(int virtualKey) override {
        const int now = m_state[virtualKey] ^= 1;
        m_timeline.Add(std::string(KeyName(virtualKey)) + (now ? " on" : " off"));
    }
    void SetBehindTheBack(int virtualKey, int state) { m_state[virtualKey] = state; }

  private:
    Timeline& m_timeline;
    std::map<int, int> m_state;
};

// Modem lines of ports that open unless told otherwise; a drive on a handle
// that is not open is recorded as a fault.
class TimelineSerialLines final : public SerialLineDriver {
  public:
    explicit TimelineSerialLines(Timeline& timeline) : m_timeline(timeline) {}
    SerialHandle OpenPort(int portNumber, int /*baudRate*/, int /*parity*/,
                          int /*stopBits*/) override {
        m_timeline.Add("open COM" + std::to_string(portNumber));
        if (!openSucceeds) {
            return 0;
        }
        m_open = ++m_lastHandle;
        return m_open;
    }
    void ClosePort(SerialHandle handle) override {
        m_timeline.Add("close");
        if (handle == m_open) {
            m_open = 0;
        }
    }
    void EscapeCommFunction(SerialHandle handle, int code) override {
        if (handle == 0 || handle != m_open) {
            drivesOnClosedPort.fetch_add(1);
        }
        static const char* const names[] = {"", "", "", "SETRTS", "CLRRTS", "SETDTR", "CLRDTR"};
        m_timeline.Add(code >= 3 && code <= 6 ? names[code] : "bad code");
    }

    std::atomic<bool> openSucceeds{true};
    std::atomic<int> drivesOnClosedPort{0};

  private:
    Timeline& m_timeline;
    std::atomic<SerialHandle> m_open{0};
    std::atomic<SerialHandle> m_lastHandle{0};
};

class TimelineTray final : public TrayLamp {
  public:
    explicit TimelineTray(Timeline& timeline) : m_timeline(timeline) {}
    void Show(TrayLampState state) override {
        static const char* const names[] = {"Idle", "Receive", "Send", "Both"};
        m_timeline.Add(std::string("tray ") + names[static_cast<int>(state)]);
    }

  private:
    Timeline& m_timeline;
};

// Totals handed out from a script; once it runs dry the last answer repeats.
class ScriptedTraffic final : public TrafficSource {
  public:
    struct Poll {
        bool ok;
        std::uint32_t received;
        std::uint32_t sent;
    };
    void Push(Poll poll) { m_script.push_back(poll); }
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        if (m_script.size() > 1) {
            m_last = m_script.front();
            m_script.pop_front();
        } else if (!m_script.empty()) {
            m_last = m_script.front();
        }
        received = m_last.ok ? m_last.received : 0;
        sent = m_last.ok ? m_last.sent : 0;
        return m_last.ok;
    }

  private:
    std::deque<Poll> m_script;
    Poll m_last{true, 0, 0};
};

// Time that passes only in the timeline; a test may act during a given sleep.
class TimelineClock final : public LampClock {
  public:
    explicit TimelineClock(Timeline& timeline) : m_timeline(timeline) {}
    void Sleep(std::uint32_t milliseconds) override {
        m_timeline.Add("sleep " + std::to_string(milliseconds));
        if (duringSleep) {
            duringSleep(++m_sleeps);
        }
    }
    void Wake() override {}

    std::function<void(int sleepNumber)> duringSleep;

  private:
    Timeline& m_timeline;
    int m_sleeps = 0;
};

}  // namespace fakes
