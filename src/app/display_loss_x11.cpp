// Catches the loss of the X display. Kept apart from the Qt code, whose headers
// cannot share a file with Xlib's macros.
#include "app/display_loss_x11.h"

#include <X11/Xlib.h>

namespace {

void (*endProgram)() = nullptr;

int OnIOError(Display* /*display*/) {
    if (endProgram != nullptr) {
        endProgram();
    }
    // Xlib exits when this returns.
    return 0;
}

}  // namespace

void SetDisplayLossHandler(void (*end)()) {
    endProgram = end;
    XSetIOErrorHandler(OnIOError);
}
