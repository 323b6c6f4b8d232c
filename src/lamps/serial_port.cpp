// The serial lamp's port: opened, driven and closed under one lock.
#include "lamps/serial_port.h"

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
