// The worker as a std::thread. Linux cannot end a thread safely, so one that
// does not stop in time is left behind, still asked to stop.
#include <thread>

#include "monitor/lamp_loop.h"
#include "monitor/lamp_thread.h"

namespace {

std::thread workerThread;

}  // namespace

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
