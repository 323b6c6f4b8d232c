// The worker thread that runs a lamp loop.
#pragma once

#include <cstdint>

struct LampLoop;

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
