// Serial devices by path, for the Linux driver and for tests on pseudo-terminals.
#pragma once

#include "lamps/serial_port.h"

// Opens a terminal device for exclusive use (TIOCEXCL and flock) with the
// lamp's line parameters; 0 when it is missing, busy or not allowed, which it
// tells the user in one line with the path and the reason.
SerialHandle OpenSerialDevice(const char* path);
void CloseSerialDevice(SerialHandle handle);
// The file descriptor behind an open handle.
int SerialDeviceFd(SerialHandle handle);
