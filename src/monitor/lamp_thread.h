// The worker thread that runs a lamp loop, and the clock it waits on: the
// platform halves (_win, _linux) of the loop's time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "monitor/lamp_loop.h"

// Real time whose waits end at once on a stop request, so that a stop never
// waits out a flash or a pause. Each wait is one system call: the idle worker
// wakes only for its polls.
class SteadyLampClock final : public LampClock {
  public:
    explicit SteadyLampClock(std::atomic<int>& stopRequest);
    ~SteadyLampClock() override;
    SteadyLampClock(const SteadyLampClock&) = delete;
    SteadyLampClock& operator=(const SteadyLampClock&) = delete;

    void Sleep(std::uint32_t milliseconds) override;
    void Wake() override;

  private:
    // What a platform needs besides the stop request to end a wait early; Linux
    // waits on the request itself and needs nothing.
    struct Waker;

    std::atomic<int>& m_stopRequest;
    std::unique_ptr<Waker> m_waker;
};

// Starts the worker on loop. Called once, after the settings, the tray icon and
// the serial port are set up.
void StartLampThread(LampLoop& loop);

// Asks the worker to stop and waits at most timeoutMilliseconds. True when it
// left its loop in time, or never started. Otherwise it has been terminated
// (Windows) or left behind, still asked to stop (Linux, where no thread can be
// ended safely): the caller must then end the process without destroying what
// the loop uses.
bool StopLampThread(LampLoop& loop, std::uint32_t timeoutMilliseconds);

// Waits at most this long for the worker to acknowledge a stop.
inline constexpr std::uint32_t kStopTimeoutMilliseconds = 3000;
