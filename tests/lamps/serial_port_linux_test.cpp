// The Linux serial devices, tried on pseudo-terminals and paths of the test's own.
#include "lamps/serial_port_linux.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// A pseudo-terminal pair: the master stays with the test, the slave path is
// opened as if it were a serial port. No real device is ever touched.
class PseudoTerminal {
  public:
    PseudoTerminal() : m_master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0) {
            const char* name = ptsname(m_master);
            m_slavePath = name != nullptr ? name : "";
        }
    }
    ~PseudoTerminal() {
        if (m_master >= 0) {
            close(m_master);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

  private:
    int m_master;
    std::string m_slavePath;
};

class SerialDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(pty.SlavePath().empty()) << "no pseudo-terminal"; }

    PseudoTerminal pty;
};

TEST_F(SerialDeviceTest, SecondOpenFailsWhileTheFirstHoldsTheDevice) {
    const SerialHandle first = OpenSerialDevice(pty.SlavePath().c_str());
    ASSERT_NE(first, 0);
    EXPECT_EQ(OpenSerialDevice(pty.SlavePath().c_str()), 0);
    CloseSerialDevice(first);

    const SerialHandle again = OpenSerialDevice(pty.SlavePath().c_str());
    EXPECT_NE(again, 0);
    CloseSerialDevice(again);
}

// Speed, data bits, parity and stop bits are set, and carrier is not waited
// for; everything else stays as the driver had it. (A pseudo-terminal forces
// no parity, so parity itself cannot be seen here.)
TEST_F(SerialDeviceTest, OpensAt9600EightNoneOneKeepingTheOtherSettings) {
    termios before{};
    const int slave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    cfsetospeed(&before, B19200);
    cfsetispeed(&before, B19200);
    before.c_cflag = (before.c_cflag & ~static_cast<tcflag_t>(CSIZE | CLOCAL)) | CS7 | CSTOPB;
    before.c_iflag |= IXON;
    before.c_lflag |= ECHO | ICANON;
    before.c_cc[VEOF] = 7;
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &before), 0);
    close(slave);

    const SerialHandle handle = OpenSerialDevice(pty.SlavePath().c_str());
    ASSERT_NE(handle, 0);
    const int fd = SerialDeviceFd(handle);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_NE(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0U);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0U);
    EXPECT_NE(tio.c_iflag & IXON, 0U);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON), static_cast<tcflag_t>(ECHO | ICANON));
    EXPECT_EQ(tio.c_cc[VEOF], 7);
    CloseSerialDevice(handle);
}

// Another user's open must fail with EBUSY while the lamp holds the device
// (root passes TIOCEXCL, so the check runs in a child without privileges).
TEST_F(SerialDeviceTest, OtherUsersAreKeptOutUntilClose) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to try the open as another user";
    }
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0666), 0);
    const auto openAsNobody = [this] {
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) {
                _exit(3);
            }
            const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            _exit(fd >= 0 ? 0 : (errno == EBUSY ? 1 : 2));
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };

    const SerialHandle handle = OpenSerialDevice(pty.SlavePath().c_str());
    ASSERT_NE(handle, 0);
    EXPECT_EQ(openAsNobody(), 1) << "0: opened, 1: busy, 2: other error, 3: no setuid";
    CloseSerialDevice(handle);
    EXPECT_EQ(openAsNobody(), 0) << "0: opened, 1: busy, 2: other error, 3: no setuid";
}

TEST(SerialDevice, MissingFilesAndNonTerminalsGiveADarkLamp) {
    char dirTemplate[] = "/tmp/velumin-serial-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::filesystem::path dir = dirTemplate;
    const std::filesystem::path regular = dir / "not-a-tty";
    std::FILE* file = std::fopen(regular.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);

    EXPECT_EQ(OpenSerialDevice((dir / "ttyUSB0").c_str()), 0);
    EXPECT_EQ(OpenSerialDevice(regular.c_str()), 0);
    EXPECT_EQ(OpenSerialDevice(dir.c_str()), 0);
    std::filesystem::remove_all(dir);
}

TEST(SerialDevice, PortNumbersNameTheFixedDeviceList) {
    const std::pair<int, const char*> names[] = {
        {1, "/dev/ttyUSB0"},
        {8, "/dev/ttyUSB7"},
        {9, "/dev/ttyACM0"},
        {12, "/dev/ttyACM3"},
        {13, "/dev/ttyS0"},
        {20, "/dev/ttyS7"},
        {0, ""},
        {21, ""},
        {-1, ""},
    };
    for (const auto& [port, name] : names) {
        EXPECT_EQ(SerialPortDeviceName(port), name) << "port " << port;
    }
}

TEST(SerialDevice, PortsOutsideTheListOpenNothing) {
    // Only numbers that name no device: 1-20 would reach the machine's real ports.
    for (const int port : {0, 21, -1, 1000}) {
        EXPECT_EQ(SystemSerialLineDriver().OpenPort(port), 0) << "port " << port;
    }
}

}  // namespace
