// The Windows COM port driver under Wine: naming, line parameters, and a port that is not there.
#include "lamps/serial_port_win.h"

#include <gtest/gtest.h>

#include <array>

#include "lamps/serial_port.h"

namespace {

TEST(SerialPortWin, DevicePathReachesPortsAboveNine) {
    EXPECT_EQ(SerialDevicePath(1), L"\\\\.\\COM1");
    EXPECT_EQ(SerialDevicePath(12), L"\\\\.\\COM12");
    EXPECT_EQ(SerialDevicePath(20), L"\\\\.\\COM20");
    EXPECT_EQ(SerialPortDeviceName(20), "COM20");
    EXPECT_EQ(SerialPortDeviceName(0), "");
}

TEST(SerialPortWin, LineParametersChangeOnlyWhatTheLampNeeds) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    dcb.BaudRate = 115200;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fOutxCtsFlow = 1;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.XonChar = 0x11;
    dcb.EofChar = 0x1A;

    SetLampLineParameters(dcb);
    EXPECT_EQ(dcb.BaudRate, 9600U);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1U);
    EXPECT_EQ(dcb.fParity, 1U);
    EXPECT_EQ(dcb.fOutxCtsFlow, 1U);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.EofChar, 0x1A);
}

// Under Wine every number from 1 to 256 may stand for a host device (COM1 is
// often the machine's console), so only a number beyond them is ever opened.
TEST(SerialPortWin, PortThatDoesNotExistFailsCleanly) {
    constexpr int kPort = 300;
    std::array<wchar_t, 512> target{};
    if (QueryDosDeviceW(L"COM300", target.data(), static_cast<DWORD>(target.size())) != 0) {
        GTEST_SKIP() << "COM300 names a device here; not opening it";
    }
    CSerialPort port(SystemSerialLineDriver());
    EXPECT_FALSE(port.Reopen(kPort, kClrDtr, kClrRts));
    EXPECT_FALSE(port.IsOpen());
    port.DriveLine(kSetDtr);
    EXPECT_EQ(SystemSerialLineDriver().OpenPort(-1), 0);
}

}  // namespace
