// The Windows COM port's device path: the form that also reaches ports above 9.
#include "lamps/serial_port_win.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialPortWin, ReachesPortsAboveNine) {
    EXPECT_EQ(SerialDevicePath(12), L"\\\\.\\COM12");
}

}  // namespace
