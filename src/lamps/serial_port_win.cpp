// Serial lamp ports on Windows: COM devices opened exclusively, lines via EscapeCommFunction.
#include "lamps/serial_port_win.h"

#include "lamps/serial_port.h"

namespace {

HANDLE ToWin(SerialHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

class WinSerialLineDriver final : public SerialLineDriver {
  public:
    SerialHandle OpenPort(int portNumber) override {
        // Share mode 0: no other program may hold the port while the lamp does.
        const HANDLE port =
            CreateFileW(SerialDevicePath(portNumber).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                        nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (port == INVALID_HANDLE_VALUE || port == nullptr) {
            return 0;
        }
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        // Without the driver's current parameters there is nothing sound to
        // write back, so the port keeps them.
        if (GetCommState(port, &dcb)) {
            SetLampLineParameters(dcb);
            SetCommState(port, &dcb);
        }
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 100;
        timeouts.ReadTotalTimeoutMultiplier = 10;
        timeouts.ReadTotalTimeoutConstant = 10;
        timeouts.WriteTotalTimeoutMultiplier = 10;
        timeouts.WriteTotalTimeoutConstant = 10;
        SetCommTimeouts(port, &timeouts);
        return reinterpret_cast<SerialHandle>(port);
    }

    void ClosePort(SerialHandle handle) override { CloseHandle(ToWin(handle)); }

    void DriveLine(SerialHandle handle, LineLevel level) override {
        const DWORD code = level.line == ModemLine::Dtr ? (level.raised ? SETDTR : CLRDTR)
                                                        : (level.raised ? SETRTS : CLRRTS);
        EscapeCommFunction(ToWin(handle), code);
    }
};

}  // namespace

std::wstring SerialDevicePath(int portNumber) {
    return L"\\\\.\\COM" + std::to_wstring(portNumber);
}

void SetLampLineParameters(DCB& dcb) {
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 1;
}

std::string SerialPortDeviceName(int portNumber) {
    if (portNumber <= 0) {
        return {};
    }
    return "COM" + std::to_string(portNumber);
}

SerialLineDriver& SystemSerialLineDriver() {
    static WinSerialLineDriver driver;
    return driver;
}
