// The worker as a Win32 thread, ended by force when it does not stop in time.
#include <windows.h>

#include "monitor/lamp_loop.h"
#include "monitor/lamp_thread.h"

namespace {

// Kept for the forced end; never closed, like the thread it names.
HANDLE workerThread = nullptr;

DWORD WINAPI WorkerEntry(LPVOID parameter) {
    return LampThreadProc(parameter);
}

}  // namespace

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
