// The worker as a std::thread, waiting on a futex. Linux cannot end a thread
// safely, so one that does not stop in time is left behind, still asked to stop.
#include "monitor/lamp_thread.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <thread>

namespace {

std::thread workerThread;

// The stop request itself is the futex word: a Wake after the request cannot
// be lost, since a wait that starts after the change returns at once.
int* FutexWord(std::atomic<int>& stopRequest) {
    static_assert(sizeof(std::atomic<int>) == sizeof(int) && std::atomic<int>::is_always_lock_free);
    return reinterpret_cast<int*>(&stopRequest);
}

}  // namespace

struct SteadyLampClock::Waker {};

SteadyLampClock::SteadyLampClock(std::atomic<int>& stopRequest) : m_stopRequest(stopRequest) {}

SteadyLampClock::~SteadyLampClock() = default;

void SteadyLampClock::Sleep(std::uint32_t milliseconds) {
    // An absolute deadline, so that a wait cut short by a signal resumes
    // without stretching the phase.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1'000'000L;
    if (deadline.tv_nsec >= 1'000'000'000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000L;
    }
    for (int seen = m_stopRequest.load(); seen != 1; seen = m_stopRequest.load()) {
        if (syscall(SYS_futex, FutexWord(m_stopRequest), FUTEX_WAIT_BITSET_PRIVATE, seen, &deadline,
                    nullptr, FUTEX_BITSET_MATCH_ANY) != 0 &&
            errno == ETIMEDOUT) {
            return;
        }
    }
}

void SteadyLampClock::Wake() {
    syscall(SYS_futex, FutexWord(m_stopRequest), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void StartLampThread(LampLoop& loop) {
    workerThread = std::thread(LampThreadProc, &loop);
}

bool StopLampThread(LampLoop& loop, std::uint32_t timeoutMilliseconds) {
    if (!workerThread.joinable()) {
        return true;
    }
    if (!RequestLampLoopStop(loop, timeoutMilliseconds)) {
        // The request stays at 1 so that the worker, should its poll ever
        // return, leaves its loop instead of driving lamps during shutdown.
        workerThread.detach();
        return false;
    }
    workerThread.join();
    loop.stopRequest.store(0);
    return true;
}
