// The serial lamp's port and the rule that turns a line's phase into a line level.
#include "lamps/serial_port.h"

const LineLevel lineLevelTable[8] = {
    kClrDtr,  // DTR idle, normal
    kSetDtr,  // DTR idle, inverted
    kSetDtr,  // DTR active, normal
    kClrDtr,  // DTR active, inverted
    kClrRts,  // RTS idle, normal
    kSetRts,  // RTS idle, inverted
    kSetRts,  // RTS active, normal
    kClrRts,  // RTS active, inverted
};

LineLevel LineLevelAt(int base, int ledInversion) {
    // The ini file may hold anything here; only 1 inverts.
    return lineLevelTable[base + (ledInversion == 1 ? 1 : 0)];
}

CSerialPort::CSerialPort(SerialLineDriver& driver) : m_driver(driver) {}

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::Reopen(int portNumber, LineLevel dtrIdle, LineLevel rtsIdle) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    CloseLocked();
    if (portNumber == 0) {
        return false;
    }
    const SerialHandle handle = m_driver.OpenPort(portNumber);
    if (handle == 0) {
        return false;
    }
    m_handle = handle;
    m_driver.DriveLine(handle, dtrIdle);
    m_driver.DriveLine(handle, rtsIdle);
    return true;
}

void CSerialPort::Close() {
    const std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (lock.owns_lock()) {
        CloseLocked();
    }
}

void CSerialPort::CloseLocked() {
    const SerialHandle handle = m_handle.exchange(0);
    if (handle != 0) {
        m_driver.ClosePort(handle);
    }
}

void CSerialPort::DriveLine(LineLevel level) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const SerialHandle handle = m_handle;
    if (handle != 0) {
        m_driver.DriveLine(handle, level);
    }
}
