// The worker as a Win32 thread waiting on an event, ended by force when it does
// not stop in time.
#include "monitor/lamp_thread.h"

#include <windows.h>

namespace {

// Kept for the forced end; never closed, like the thread it names.
HANDLE workerThread = nullptr;

DWORD WINAPI WorkerEntry(LPVOID parameter) {
    return LampThreadProc(parameter);
}

}  // namespace

// Auto-reset: a Wake with no wait in progress ends the next one instead.
SteadyLampClock::SteadyLampClock(std::atomic<int>& stopRequest)
    : m_stopRequest(stopRequest), m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

SteadyLampClock::~SteadyLampClock() {
    if (m_event != nullptr) {
        CloseHandle(m_event);
    }
}

void SteadyLampClock::Sleep(std::uint32_t milliseconds) {
    // A wake without a stop request waits on until the deadline.
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); m_stopRequest.load() != 1 && now < deadline;
         now = GetTickCount64()) {
        WaitForSingleObject(m_event, static_cast<DWORD>(deadline - now));
    }
}

void SteadyLampClock::Wake() {
    SetEvent(m_event);
}

void StartLampThread(LampLoop& loop) {
    workerThread = CreateThread(nullptr, 0, WorkerEntry, &loop, 0, nullptr);
}

bool StopLampThread(LampLoop& loop, std::uint32_t timeoutMilliseconds) {
    if (workerThread == nullptr) {
        return true;
    }
    const bool acknowledged = RequestLampLoopStop(loop, timeoutMilliseconds);
    if (!acknowledged) {
        TerminateThread(workerThread, 0);
    }
    workerThread = nullptr;
    loop.stopRequest.store(0);
    return acknowledged;
}
