// Fakes of the lamp loop's surroundings that write every operation, in order,
// into one shared timeline, so a test can compare a whole cycle at once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "fakes/fake_lock_key_driver.h"
#include "fakes/fake_serial_line_driver.h"
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
class TimelineLockKeys final : public FakeLockKeyDriver {
  public:
    explicit TimelineLockKeys(Timeline& timeline) : m_timeline(timeline) {}
    void ToggleLock(int virtualKey) override {
        FakeLockKeyDriver::ToggleLock(virtualKey);
        m_timeline.Add(std::string(KeyName(virtualKey)) + (Lock(virtualKey) ? " on" : " off"));
    }

  private:
    Timeline& m_timeline;
};

// Modem lines whose drives the timeline shows by their codes' names; opens and
// closes are left out, and Faults() counts any drive of a handle not open.
class TimelineSerialLines final : public FakeSerialLineDriver {
  public:
    explicit TimelineSerialLines(Timeline& timeline) : m_timeline(timeline) { recordCalls = false; }
    void DriveLine(SerialHandle handle, int code) override {
        FakeSerialLineDriver::DriveLine(handle, code);
        m_timeline.Add(CodeName(code));
    }

  private:
    Timeline& m_timeline;
};

class TimelineTray final : public TrayLamp {
  public:
    explicit TimelineTray(Timeline& timeline) : m_timeline(timeline) {}
    void Add() override { m_timeline.Add("tray added"); }
    void Remove() override { m_timeline.Add("tray removed"); }
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
