// The Windows COM port driver under Wine: names, line parameters, a port that is not there.
#include "lamps/serial_port_win.h"

#include <gtest/gtest.h>

#include "lamps/serial_port.h"

namespace {

TEST(SerialPortWin, NamesReachPortsAboveNineAndOpenAt9600EightNoneOne) {
    EXPECT_EQ(SerialDevicePath(12), L"\\\\.\\COM12");
    EXPECT_EQ(SerialPortDeviceName(20), "COM20");
    EXPECT_EQ(SerialPortDeviceName(0), "");
    DCB dcb{};
    dcb.BaudRate = 115200;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    SetLampLineParameters(dcb);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE)) << "kept as it was";
}

// Under Wine every number up to 256 may stand for a host device (COM1 is often
// the console), so only a number beyond them is ever opened.
TEST(SerialPortWin, PortThatDoesNotExistLeavesADarkLamp) {
    wchar_t target[512] = {};
    if (QueryDosDeviceW(L"COM300", target, 512) != 0) {
        GTEST_SKIP() << "COM300 names a device here; not opening it";
    }
    CSerialPort port(SystemSerialLineDriver());
    EXPECT_FALSE(port.Reopen(300, kClrDtr, kClrRts));
    port.DriveLine(kSetDtr);
}

}  // namespace
