// What the Linux program tells its user: its options and exit codes, and the
// one line on standard error for a second start. Each case runs the program in
// a child process whose output is kept. And the single-instance lock it holds.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/single_instance_linux.h"
#include "support/files.h"

extern char** environ;

namespace {

class UserMessages : public testing::Test {
  protected:
    // The program, with folders of the test's own and a display where no X
    // server answers: an option that opened it would fail. Its standard error
    // may be a pipe whose reader has gone.
    int Program(std::vector<std::string> args, bool errorsUnread = false) {
        std::vector<std::string> env = {"HOME=" + dir.path().string(), "XDG_CONFIG_HOME=relative",
                                        "XDG_RUNTIME_DIR=" + (dir / "run").string(),
                                        "DISPLAY=:7999", "QT_QPA_PLATFORM=xcb"};
        args.insert(args.begin(), VELUMIN_EXE);
        std::vector<char*> argv;
        std::vector<char*> envp;
        for (const auto& [from, to] : {std::pair{&args, &argv}, std::pair{&env, &envp}}) {
            for (std::string& text : *from) {
                to->push_back(text.data());
            }
            to->push_back(nullptr);
        }
        return testsupport::InChild(
            [&] {
                int ends[2];
                if (errorsUnread &&
                    (pipe(ends) != 0 || close(ends[0]) != 0 || dup2(ends[1], STDERR_FILENO) < 0)) {
                    return 90;
                }
                return execve(VELUMIN_EXE, argv.data(), envp.data()) == 0 ? 0 : 127;
            },
            false, dir.path());
    }
    std::string Out() const { return testsupport::ReadFile(dir / "out"); }
    std::string Err() const { return testsupport::ReadFile(dir / "err"); }

    testsupport::TempDir dir;
};

TEST_F(UserMessages, OptionsAnswerWithoutTheDisplayOrTheInstanceLock) {
    std::filesystem::create_directories(dir / "run");
    const std::string usage = "Usage: velumin";
    // A relative XDG_CONFIG_HOME is ignored: the file is under the home's .config.
    const std::string iniLine = "Settings file: " + (dir / ".config/velumin/Velumin.ini").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;  // the start of standard output, or of standard error
        std::string err;
    };
    const Case cases[] = {
        {{"--version"}, 0, "velumin 1.0.0.1\n", ""},
        {{"--help"}, 0, usage, ""},
        {{"-h"}, 0, usage, ""},
        // Qt's own options, with their values, are left to Qt.
        {{"-display", ":1", "--style=fusion", "-reverse", "--version"}, 0, "velumin", ""},
        {{"--frobnicate"}, 2, "", "velumin: unknown option --frobnicate\n" + usage},
        {{"extra"}, 2, "", "velumin: unexpected argument extra\n" + usage},
    };
    for (const Case& c : cases) {
        const std::string name = c.args.front();
        EXPECT_EQ(Program(c.args), c.status) << name;
        EXPECT_EQ(Out().substr(0, c.out.size()), c.out) << name;
        EXPECT_EQ(Err().substr(0, c.err.size()), c.err) << name;
        EXPECT_EQ(c.out.empty(), Out().empty()) << name << " writes to one stream only";
        EXPECT_EQ(c.err.empty(), Err().empty()) << name << ": " << Err();
        // The usage names the settings file that the program really uses.
        EXPECT_EQ((c.out + c.err).find(usage) != std::string::npos,
                  (Out() + Err()).find(iniLine + "\n") != std::string::npos)
            << name;
        EXPECT_TRUE(std::filesystem::is_empty(dir / "run")) << name << " made the lock file";
    }
}

TEST_F(UserMessages, SecondStartSaysSoInOneLineAndEndsWellAndNoProgramKeepsTheLock) {
    std::filesystem::create_directories(dir / "run");
    const std::string lock = (dir / "run/Velumin.lock").string();
    pid_t child = -1;
    {
        CInstanceLock running;
        ASSERT_EQ(running.Acquire(lock), InstanceLockResult::Acquired);
        EXPECT_EQ(Program({}), 0);
        EXPECT_EQ(Err(), "velumin: already running; its icon is in the system tray.\n");
        EXPECT_EQ(Out(), "");
        // A message nobody reads fails, and ends nothing: the same broken pipe is
        // what the X server's socket becomes as the display goes away.
        EXPECT_EQ(Program({}, true), 0);
        // A program started meanwhile (a browser from the About dialog) must not keep it.
        char sleep[] = "sleep";
        char seconds[] = "30";
        char* argv[] = {sleep, seconds, nullptr};
        ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    }
    CInstanceLock next;
    EXPECT_EQ(next.Acquire(lock), InstanceLockResult::Acquired);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST(InstanceLock, RefusesLinksAndMissingDirectories) {
    testsupport::TempDir dir;
    std::filesystem::create_symlink(dir / "elsewhere", dir / "Velumin.lock");
    CInstanceLock lock;
    EXPECT_EQ(lock.Acquire((dir / "Velumin.lock").string()), InstanceLockResult::Unavailable);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
    EXPECT_EQ(lock.Acquire((dir / "missing/Velumin.lock").string()),
              InstanceLockResult::Unavailable);
}

}  // namespace
