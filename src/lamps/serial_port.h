// An external lamp on a serial port's modem lines: DTR shows receive, RTS send.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

struct LampSettingsRecord;

// The platform's open port, as an opaque value; 0 means closed.
using SerialHandle = std::intptr_t;

// Line codes, with the values of the Windows EscapeCommFunction codes.
inline constexpr int kSetRts = 3;
inline constexpr int kClrRts = 4;
inline constexpr int kSetDtr = 5;
inline constexpr int kClrDtr = 6;

// Bases into lineLevelTable; ledInversion (0 or 1) is added to them.
inline constexpr int kDtrIdle = 0;
inline constexpr int kDtrActive = 2;
inline constexpr int kRtsIdle = 4;
inline constexpr int kRtsActive = 6;

extern const int lineLevelTable[8];

// The table entry for a line and phase. An inversion other than 0 or 1 counts
// as 0, so a lookup never leaves the table.
int LineLevelCode(int base, int ledInversion);

// Opens serial ports and drives their modem lines.
class SerialLineDriver {
  public:
    virtual ~SerialLineDriver() = default;
    // Opens port n for exclusive use with the given line parameters (8 data
    // bits); 0 when the device is missing, busy or not allowed.
    virtual SerialHandle OpenPort(int portNumber, int baudRate, int parity, int stopBits) = 0;
    virtual void ClosePort(SerialHandle handle) = 0;
    // Asserts or clears one line; code is one of kSetRts..kClrDtr.
    virtual void EscapeCommFunction(SerialHandle handle, int code) = 0;
};

// The platform's driver (_win: COM ports; _linux: termios on a fixed device list).
SerialLineDriver& SystemSerialLineDriver();

// What the user knows port n by ("COM12", "/dev/ttyACM3"); empty when n names
// no device.
std::string SerialPortDeviceName(int portNumber);

class CSerialPort {
  public:
    explicit CSerialPort(SerialLineDriver& driver);
    // Closes the port without driving a line first.
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Only called on a closed port; true when the device was opened.
    bool Open(int portNumber, int baudRate, int parity, int stopBits);
    void Close();
    SerialHandle GetHandle() const;

    // Drives one line if the port is open. Holds the port's lock, so the worker
    // never drives a handle that the user-interface thread is closing.
    void DriveLine(int code);
    // The same for a caller that already holds Lock().
    void DriveLineLocked(int code);

    // Held by ApplySerialLamp around the close, reopen and idle drive.
    std::mutex& Lock() { return m_mutex; }

  private:
    SerialLineDriver& m_driver;
    std::atomic<SerialHandle> m_handle{0};
    std::mutex m_mutex;
};

// The process-wide port, constructed closed after the three keyboard lamps.
extern CSerialPort serialPort;

// Closes the port, reopens it when the settings ask for the serial lamp, and
// drives DTR then RTS to their idle levels.
void ApplySerialLamp(CSerialPort& port, const LampSettingsRecord& settings);
void ApplySerialLamp();

// The worker's drive: when useSerialLed is 1 and the port is open, the table
// entry of base plus the current inversion, read afresh.
void DriveSerialLamp(CSerialPort& port, const LampSettingsRecord& settings, int base);
