// The lamp loop's collaborators as one fake (lock keys, serial lines, tray,
// traffic, clock) that writes what it is asked to do, in order, into one
// timeline; and the lamps, settings, port and loop wired to it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "lamps/tray_lamp.h"
#include "monitor/lamp_loop.h"
#include "settings/lamp_settings.h"

namespace fakes {

// Lock keys whose flips are seen at once ("Caps on"); modem lines ("open 3",
// "close", "SETDTR"), where ports in missingPorts fail to open and a drive or
// close of a handle not open is a fault; the tray ("tray Both"); totals from a
// script of polls whose last answer repeats; time that passes only in the
// timeline ("sleep 100"), during which a test may act.
class Surroundings final : public LockKeyDriver,
                           public SerialLineDriver,
                           public TrayLamp,
                           public TrafficSource,
                           public LampClock {
  public:
    struct Poll {
        bool ok;
        std::uint32_t received, sent;
    };

    int GetLockState(int key) override { return locks[key]; }
    void ToggleLock(int key) override {
        locks[key] ^= 1;
        static const char* const names[] = {"Caps", "Scroll", "Num"};
        Note(names[LockKeyIndex(key)] + std::string(locks[key] != 0 ? " on" : " off"));
    }
    SerialHandle OpenPort(int port) override {
        Note("open " + std::to_string(port));
        const std::lock_guard lock(m_mutex);
        return missingPorts.count(port) != 0 ? 0 : *m_open.insert(++m_lastHandle).first;
    }
    void ClosePort(SerialHandle handle) override {
        Note("close");
        const std::lock_guard lock(m_mutex);
        faults += static_cast<int>(m_open.erase(handle) == 0);
    }
    void DriveLine(SerialHandle handle, LineLevel code) override {
        // As a port stuck in the kernel: the drive never returns.
        while (stuckDrive != 0) {
            stuckDrive = 2;
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
        m_mutex.lock();
        faults += static_cast<int>(m_open.count(handle) == 0);
        m_mutex.unlock();
        Note(std::string(code.raised ? "SET" : "CLR") +
             (code.line == ModemLine::Dtr ? "DTR" : "RTS"));
    }
    void Add() override {}
    void Show(TrayLampState state) override {
        static const char* const names[] = {"Idle", "Receive", "Send", "Both"};
        Note(std::string("tray ") + names[int(state)]);
    }
    void Remove() override {}
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        ++queries;
        const Poll poll = polls.empty() ? Poll{true, 0, 0} : polls.front();
        if (polls.size() > 1) {
            polls.pop_front();
        }
        received = poll.received;
        sent = poll.sent;
        return poll.ok;
    }
    void Sleep(std::uint32_t milliseconds) override {
        Note("sleep " + std::to_string(milliseconds));
        if (duringSleep) {
            duringSleep();
        }
    }
    void Wake() override {}

    // An event, the test's own or the fake's, in its place among the others.
    void Note(const std::string& event) {
        const std::lock_guard lock(m_mutex);
        if (recording) {
            m_events += (m_events.empty() ? "" : ", ") + event;
        }
    }
    // The events since the last call: "Caps on, tray Receive, SETDTR, ...".
    std::string Take() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_events, {});
    }

    bool recording = true;  // off for benchmarks
    std::map<int, int> locks;
    std::set<int> missingPorts;
    std::atomic<int> faults{0};
    std::atomic<int> stuckDrive{0};  // 1: the next drive never returns; 2: it is stuck
    std::atomic<int> queries{0};
    std::deque<Poll> polls{{true, 0, 0}};
    std::function<void()> duringSleep;

  private:
    std::mutex m_mutex;
    std::string m_events;
    std::set<SerialHandle> m_open;
    SerialHandle m_lastHandle = 0;
};

// The three lamps (0 CapsLock, 1 ScrollLock, 2 NumLock), the settings, the
// port and the loop on the fake surroundings.
struct LampRig {
    Surroundings fake;
    CKeyboardLed caps{kVirtualKeyCapsLock, fake};
    CKeyboardLed scroll{kVirtualKeyScrollLock, fake};
    CKeyboardLed num{kVirtualKeyNumLock, fake};
    KeyboardLedTable lamps{&caps, &scroll, &num};  // cppcheck-suppress unusedStructMember
    LampSettingsRecord settings{&caps, &scroll};
    CSerialPort port{fake};
    std::atomic<int> stop{0};
    LampLoop loop{settings, port, fake, fake, fake, stop};
};

}  // namespace fakes
