// An external lamp on a serial port's modem lines: DTR shows receive, RTS send.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// The platform's open port, as an opaque value; 0 means closed.
using SerialHandle = std::intptr_t;

enum class ModemLine : std::uint8_t { Dtr, Rts };

// One modem line at one level: raised (asserted) or cleared.
struct LineLevel {
    ModemLine line;
    bool raised;

    bool operator==(const LineLevel&) const = default;
};

inline constexpr LineLevel kSetDtr{ModemLine::Dtr, true};
inline constexpr LineLevel kClrDtr{ModemLine::Dtr, false};
inline constexpr LineLevel kSetRts{ModemLine::Rts, true};
inline constexpr LineLevel kClrRts{ModemLine::Rts, false};

// Ports 1 to kSerialPortCount, as the Settings dialog lists them.
inline constexpr int kSerialPortCount = 20;

// Opens serial ports and drives their modem lines.
class SerialLineDriver {
  public:
    virtual ~SerialLineDriver() = default;
    // Opens port n for exclusive use at 9600 baud, 8 data bits, no parity and
    // one stop bit; 0 when the device is missing, busy or not allowed.
    virtual SerialHandle OpenPort(int portNumber) = 0;
    virtual void ClosePort(SerialHandle handle) = 0;
    // Raises or clears one line.
    virtual void DriveLine(SerialHandle handle, LineLevel level) = 0;
};

// The platform's driver (_win: COM ports; _linux: termios on a fixed device list).
SerialLineDriver& SystemSerialLineDriver();

// What the user knows port n by ("COM12", "/dev/ttyACM3"); empty when n names
// no device.
std::string SerialPortDeviceName(int portNumber);

// The port and its lock: the user-interface thread reopens it while the worker
// drives its lines, and the worker must never drive a handle being closed.
class CSerialPort {
  public:
    explicit CSerialPort(SerialLineDriver& driver);
    // Closes the port without driving a line first.
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Closes the port, opens port n (none for 0) and drives DTR then RTS to
    // the given idle levels, all under the lock. True when the port is open.
    bool Reopen(int portNumber, LineLevel dtrIdle, LineLevel rtsIdle);
    // The close at the end. A worker ended by force in the middle of a drive
    // holds the lock for good; the handle is then left to the system.
    void Close();

    // Drives one line if the port is open.
    void DriveLine(LineLevel level);

  private:
    void CloseLocked();

    SerialLineDriver& m_driver;
    std::atomic<SerialHandle> m_handle{0};
    std::mutex m_mutex;
};
