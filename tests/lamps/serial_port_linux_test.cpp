// The Linux serial devices, tried on pseudo-terminals and paths of the test's own.
#include "lamps/serial_port_linux.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/files.h"

namespace {

// A pseudo-terminal whose slave stands in for a serial port: no real device is touched.
class PseudoTerminalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
        path = ptsname(master);
    }
    void TearDown() override { close(master); }
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    std::string path;
};

// Speed, data bits, parity and stop bits are set and carrier is not waited for;
// everything else stays as the driver had it (a pseudo-terminal has no parity).
TEST_F(PseudoTerminalTest, OpensAt9600EightNoneOneKeepingTheRest) {
    const int slave = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    cfsetspeed(&before, B19200);
    before.c_cflag = (before.c_cflag & ~static_cast<tcflag_t>(CSIZE | CLOCAL)) | CS7 | CSTOPB;
    before.c_lflag |= ECHO | ICANON;
    before.c_cc[VEOF] = 7;
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &before), 0);
    close(slave);

    const SerialHandle handle = OpenSerialDevice(path.c_str());
    ASSERT_NE(handle, 0);
    const int fd = SerialDeviceFd(handle);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_NE(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CLOCAL),
              static_cast<tcflag_t>(CS8 | CLOCAL));
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON), static_cast<tcflag_t>(ECHO | ICANON));
    EXPECT_EQ(tio.c_cc[VEOF], 7);
    CloseSerialDevice(handle);
}

// While the lamp holds the device, a second open fails; after the close it opens again.
TEST_F(PseudoTerminalTest, IsKeptFromOthersUntilClosed) {
    const SerialHandle first = OpenSerialDevice(path.c_str());
    ASSERT_NE(first, 0);
    EXPECT_EQ(OpenSerialDevice(path.c_str()), 0);
    CloseSerialDevice(first);
    const SerialHandle again = OpenSerialDevice(path.c_str());
    EXPECT_NE(again, 0);
    CloseSerialDevice(again);
}

TEST(SerialDevice, PortNumbersNameTheFixedListAndNothingElseOpens) {
    const std::pair<int, const char*> names[] = {{1, "/dev/ttyUSB0"},
                                                 {8, "/dev/ttyUSB7"},
                                                 {9, "/dev/ttyACM0"},
                                                 {12, "/dev/ttyACM3"},
                                                 {13, "/dev/ttyS0"},
                                                 {20, "/dev/ttyS7"},
                                                 {0, ""},
                                                 {21, ""},
                                                 {-1, ""}};
    for (const auto& [port, name] : names) {
        EXPECT_EQ(SerialPortDeviceName(port), name) << "port " << port;
    }
    // Only numbers that name no device: 1-20 would reach the machine's real ports.
    for (const int port : {0, 21, -1}) {
        EXPECT_EQ(SystemSerialLineDriver().OpenPort(port), 0) << "port " << port;
    }
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "not-a-tty", "");
    for (const char* path : {"missing", "not-a-tty", ""}) {
        EXPECT_EQ(OpenSerialDevice((dir / path).c_str()), 0) << path;
    }
}

}  // namespace
