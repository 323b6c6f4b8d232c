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

void StartLampThread() {
    workerThread = CreateThread(nullptr, 0, WorkerEntry, nullptr, 0, nullptr);
}

bool StopLampThread() {
    LampLoop& loop = ProcessLampLoop();
    const bool acknowledged = RequestLampLoopStop(loop, kStopTimeoutMilliseconds);
    if (!acknowledged && workerThread != nullptr) {
        TerminateThread(workerThread, 0);
    }
    loop.stopRequest.store(0);
    return acknowledged;
}
