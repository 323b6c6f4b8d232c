// The worker as a Win32 thread waiting on an event, ended by force when it does
// not stop in time.
#include "monitor/lamp_thread.h"

#include <windows.h>

#include <chrono>

namespace {

// Kept for the forced end; never closed, like the thread it names.
HANDLE workerThread = nullptr;

DWORD WINAPI WorkerEntry(LPVOID parameter) {
    return static_cast<DWORD>(LampThreadProc(static_cast<LampLoop*>(parameter)));
}

}  // namespace

// The event that Wake sets. Auto-reset: a Wake with no wait in progress ends
// the next one instead.
struct SteadyLampClock::Waker {
    Waker() : event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Waker() {
        if (event != nullptr) {
            CloseHandle(event);
        }
    }
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    HANDLE event;
};

SteadyLampClock::SteadyLampClock(std::atomic<int>& stopRequest)
    : m_stopRequest(stopRequest), m_waker(std::make_unique<Waker>()) {}

SteadyLampClock::~SteadyLampClock() = default;

void SteadyLampClock::Sleep(std::uint32_t milliseconds) {
    // The deadline on the precise clock: the tick count moves in steps of up to
    // 16 ms, so that a wait measured in it could end that much early. A wake
    // without a stop request waits on until the deadline.
    using std::chrono::steady_clock;
    const steady_clock::time_point deadline =
        steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (steady_clock::time_point now = steady_clock::now();
         m_stopRequest.load() != 1 && now < deadline; now = steady_clock::now()) {
        // Rounded up: a wait of 0 would spin until the deadline.
        WaitForSingleObject(
            m_waker->event,
            static_cast<DWORD>(
                std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
    }
}

void SteadyLampClock::Wake() {
    SetEvent(m_waker->event);
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
