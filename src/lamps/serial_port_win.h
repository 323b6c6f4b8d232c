// COM ports on Windows: the device path and the line parameters written at open.
#pragma once

#include <windows.h>

#include <string>

// "\\.\COM<n>": the form that also reaches ports above 9.
std::wstring SerialDevicePath(int portNumber);

// Changes only what the lamp needs in the driver's line parameters; every
// other field keeps the value the driver reported.
void SetLampLineParameters(DCB& dcb, int baudRate, int parity, int stopBits);
