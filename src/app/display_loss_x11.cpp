// Catches the loss of the X display. Kept apart from the Qt code, whose headers
// cannot share a file with Xlib's macros.
#include "app/display_loss_x11.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "app/program.h"

namespace {

std::atomic<Program*> runningProgram{nullptr};

// The display has gone (the X server ended with the session). The lock keys
// went with it, and the objects' destructors would only meet the dead
// connection again: keep the settings and end at once.
[[noreturn]] void EndWithoutDisplay() {
    static std::atomic<bool> ending{false};
    if (ending.exchange(true)) {
        // Another thread met the loss first and ends the process once it has
        // saved: ending here as well would cut its save short.
        for (;;) {
            pause();
        }
    }
    if (Program* program = runningProgram.load()) {
        program->SaveAtEnd();
    }
    std::fflush(nullptr);
    _exit(1);
}

// Xlib exits when this returns; it never does.
int OnIOError(Display* /*display*/) {
    EndWithoutDisplay();
}

void OnExitWhileRunning() {
    if (runningProgram.load() != nullptr) {
        EndWithoutDisplay();
    }
}

}  // namespace

void SetDisplayLossHandler() {
    XSetIOErrorHandler(OnIOError);
}

void SetRunningProgram(Program* program) {
    // Registered once a program, and so the process-wide objects, exist: exit()
    // runs it before their destructors.
    static const int registered = std::atexit(OnExitWhileRunning);
    static_cast<void>(registered);
    runningProgram = program;
}
