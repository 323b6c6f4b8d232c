// COM ports on Windows: the device path and the line parameters written at open.
#pragma once

#include <windows.h>

#include <string>

// "\\.\COM<n>": the form that also reaches ports above 9.
std::wstring SerialDevicePath(int portNumber);

// Sets 9600 baud, 8 data bits, no parity and one stop bit; every other field
// keeps the value the driver reported.
void SetLampLineParameters(DCB& dcb);
