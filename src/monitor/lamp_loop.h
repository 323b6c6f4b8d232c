// The worker loop that turns changes of the traffic totals into lamp flashes.
#pragma once

#include <atomic>
#include <cstdint>

#include "lamps/serial_port.h"
#include "lamps/tray_lamp.h"

struct LampSettingsRecord;

// Where the loop reads the totals from (QueryTrafficTotals in the program).
class TrafficSource {
  public:
    virtual ~TrafficSource() = default;
    virtual bool Query(std::uint32_t& received, std::uint32_t& sent) = 0;
};

// How the loop waits between its phases.
class LampClock {
  public:
    virtual ~LampClock() = default;
    // Sleeps for the given time, or returns early once a stop has been requested.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Makes a Sleep in progress look at the stop request again.
    virtual void Wake() = 0;
};

// Everything one worker loop uses, and the totals it remembers between cycles.
struct LampLoop {
    LampSettingsRecord& settings;
    CSerialPort& port;
    TrayLamp& tray;
    TrafficSource& traffic;
    LampClock& clock;
    // 1 asks the worker to stop; the worker writes 0 when it has left its loop.
    std::atomic<int>& stopRequest;
    std::uint32_t lastReceived = 0;
    std::uint32_t lastSent = 0;
};

// ActivityBits of a cycle: 0x0F received, 0xF0 sent, 0xFF both.
inline constexpr std::uint8_t kReceiveActivity = 0x0F;
inline constexpr std::uint8_t kSendActivity = 0xF0;

// One poll; with activity, the flash of every enabled lamp, 100 ms, the dark
// lamps and a pause of 100 ms; without, one wait of 200 ms.
std::uint8_t RunLampCycle(LampLoop& loop);

// Cycles until stopRequest is 1, then acknowledges by writing 0. Returns 0.
int RunLampLoop(LampLoop& loop);

// The worker thread's body: RunLampLoop on *loop.
int LampThreadProc(LampLoop* loop);

// Asks the loop to stop and waits for its acknowledgement, at most
// timeoutMilliseconds. True when the worker acknowledged in time.
bool RequestLampLoopStop(LampLoop& loop, std::uint32_t timeoutMilliseconds);

// Bases into lineLevelTable, by line and phase; ledInversion (0 or 1) is
// added to them.
inline constexpr int kDtrIdle = 0;
inline constexpr int kDtrActive = 2;
inline constexpr int kRtsIdle = 4;
inline constexpr int kRtsActive = 6;

// The serial lamp's levels: DTR shows receive, RTS send, each inverted when
// ledInversion is 1.
extern const LineLevel lineLevelTable[8];

// The table entry for a line and phase. An inversion other than 0 or 1 counts
// as 0, so a lookup never leaves the table.
LineLevel LineLevelAt(int base, int ledInversion);

// The serial lamp at rest, as the start and the Settings dialog's OK leave it:
// closes the port, reopens it when the settings ask for the serial lamp, and
// drives DTR then RTS to their idle levels.
void ApplySerialLamp(CSerialPort& port, const LampSettingsRecord& settings);

// The worker's drive: when useSerialLed is 1 and the port is open, the table
// entry of base plus the current inversion, read afresh.
void DriveSerialLamp(CSerialPort& port, const LampSettingsRecord& settings, int base);
