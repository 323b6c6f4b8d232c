// The worker thread that runs the process-wide lamp loop.
#pragma once

#include <cstdint>

// The thread body: runs the process-wide loop until a stop is requested.
std::uint32_t LampThreadProc(void* parameter);

// Starts the worker. Called once, after the settings, the tray icon and the
// serial port are set up.
void StartLampThread();

// Asks the worker to stop and waits at most 3000 ms. True when it left its loop
// in time. Otherwise it has been terminated (Windows) or left behind, still
// asked to stop (Linux, where no thread can be ended safely): the caller must
// then end the process without destroying the lamp objects.
bool StopLampThread();

// Waits at most this long for the worker to acknowledge a stop.
inline constexpr std::uint32_t kStopTimeoutMilliseconds = 3000;
