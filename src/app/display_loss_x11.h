// Catches the loss of the X display, which Xlib would answer with exit().
#pragma once

// Calls end, which must not return, when any Xlib connection of the process
// breaks; on any thread, from inside the X call that found the break.
void SetDisplayLossHandler(void (*end)());
