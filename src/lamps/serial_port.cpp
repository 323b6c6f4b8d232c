// The serial lamp's port and the rule that turns a line's phase into a line level.
#include "lamps/serial_port.h"

#include "settings/lamp_settings.h"

const int lineLevelTable[8] = {
    kClrDtr,  // DTR idle, normal
    kSetDtr,  // DTR idle, inverted
    kSetDtr,  // DTR active, normal
    kClrDtr,  // DTR active, inverted
    kClrRts,  // RTS idle, normal
    kSetRts,  // RTS idle, inverted
    kSetRts,  // RTS active, normal
    kClrRts,  // RTS active, inverted
};

int LineLevelCode(int base, int ledInversion) {
    // The ini file may hold anything here; only 1 inverts.
    return lineLevelTable[base + (ledInversion == 1 ? 1 : 0)];
}

CSerialPort::CSerialPort(SerialLineDriver& driver) : m_driver(driver) {}

CSerialPort::~CSerialPort() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    Close();
}

bool CSerialPort::Open(int portNumber, int baudRate, int parity, int stopBits) {
    // Reopening without a close would leak the device and keep it locked.
    Close();
    if (portNumber == 0) {
        return false;
    }
    m_handle = m_driver.OpenPort(portNumber, baudRate, parity, stopBits);
    return m_handle != 0;
}

void CSerialPort::Close() {
    const SerialHandle handle = m_handle.exchange(0);
    if (handle != 0) {
        m_driver.ClosePort(handle);
    }
}

SerialHandle CSerialPort::GetHandle() const {
    return m_handle;
}

void CSerialPort::DriveLine(int code) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    DriveLineLocked(code);
}

void CSerialPort::DriveLineLocked(int code) {
    const SerialHandle handle = m_handle;
    if (handle != 0) {
        m_driver.EscapeCommFunction(handle, code);
    }
}

void ApplySerialLamp(CSerialPort& port, const LampSettingsRecord& settings) {
    // The worker drives under the same lock, so it never sees a handle in the
    // middle of being closed or a reopened port before its idle levels.
    const std::lock_guard<std::mutex> lock(port.Lock());
    if (port.GetHandle() != 0) {
        port.Close();
    }
    if (!IsOn(settings.useSerialLed)) {
        return;
    }
    if (!port.Open(settings.serialPortNum, 9600, 0, 0)) {
        return;
    }
    const int inversion = settings.ledInversion;
    port.DriveLineLocked(LineLevelCode(kDtrIdle, inversion));
    port.DriveLineLocked(LineLevelCode(kRtsIdle, inversion));
}

void DriveSerialLamp(CSerialPort& port, const LampSettingsRecord& settings, int base) {
    if (!IsOn(settings.useSerialLed)) {
        return;
    }
    port.DriveLine(LineLevelCode(base, settings.ledInversion));
}
