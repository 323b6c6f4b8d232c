// A serial line driver without hardware: records opens, closes and line codes.
#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "lamps/serial_port.h"

namespace fakes {

// Ports in missingPorts fail to open, as an absent or busy device does.
// Handles are never reused, so a drive through a stale handle is always seen.
class FakeSerialLineDriver : public SerialLineDriver {
  public:
    SerialHandle OpenPort(int portNumber) override {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Record("open " + std::to_string(portNumber));
        if (missingPorts.count(portNumber) != 0) {
            return 0;
        }
        const SerialHandle handle = ++m_lastHandle;
        m_open.insert(handle);
        return handle;
    }

    void ClosePort(SerialHandle handle) override {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Record("close");
        if (m_open.erase(handle) == 0) {
            ++m_faults;
        }
    }

    void DriveLine(SerialHandle handle, int code) override {
        // Gives a racing close the chance to slip in between the caller's
        // test of the handle and its use.
        std::this_thread::yield();
        const std::lock_guard<std::mutex> lock(m_mutex);
        Record(CodeName(code));
        ++m_drives;
        if (m_open.count(handle) == 0) {
            ++m_faults;
        }
    }

    // Every call in order: "open <port>", "close", or the line code's name.
    std::vector<std::string> Calls() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    void ClearCalls() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }
    // Drives of a handle not open, and closes of one not open.
    int Faults() const { return m_faults; }
    int Drives() const { return m_drives; }
    std::size_t OpenCount() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_open.size();
    }

    static std::string CodeName(int code) {
        switch (code) {
            case kSetRts:
                return "SETRTS";
            case kClrRts:
                return "CLRRTS";
            case kSetDtr:
                return "SETDTR";
            case kClrDtr:
                return "CLRDTR";
            default:
                return "code " + std::to_string(code);
        }
    }

    std::set<int> missingPorts;
    // Off for long stress runs, where only the counters matter.
    bool recordCalls = true;

  private:
    void Record(std::string call) {
        if (recordCalls) {
            m_calls.push_back(std::move(call));
        }
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::set<SerialHandle> m_open;
    SerialHandle m_lastHandle = 0;
    std::atomic<int> m_faults{0};
    std::atomic<int> m_drives{0};
};

}  // namespace fakes
