// The single-instance lock on real files in a temporary directory.
#include "app/single_instance_linux.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

extern char** environ;

namespace {

class InstanceLockTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/velumin-lock-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_path = m_dir + "/Velumin.lock";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string m_dir;
    std::string m_path;
};

TEST_F(InstanceLockTest, SecondHolderIsToldAnotherInstanceRuns) {
    CInstanceLock first;
    ASSERT_EQ(first.Acquire(m_path), InstanceLockResult::Acquired);
    EXPECT_TRUE(first.Held());
    CInstanceLock second;
    EXPECT_EQ(second.Acquire(m_path), InstanceLockResult::HeldElsewhere);
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_EQ(second.Acquire(m_path), InstanceLockResult::Acquired);
}

TEST_F(InstanceLockTest, LockEndsWithItsHolderAndIsNotInheritedByPrograms) {
    pid_t child = -1;
    {
        CInstanceLock lock;
        ASSERT_EQ(lock.Acquire(m_path), InstanceLockResult::Acquired);
        // A program started while the lock is held (a browser from the About
        // dialog) must not keep it after the holder has ended.
        char sleepName[] = "sleep";
        char duration[] = "30";
        char* argv[] = {sleepName, duration, nullptr};
        ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    }
    CInstanceLock next;
    EXPECT_EQ(next.Acquire(m_path), InstanceLockResult::Acquired);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST_F(InstanceLockTest, RefusesLinksAndMissingDirectories) {
    const std::string target = m_dir + "/elsewhere";
    ASSERT_EQ(symlink(target.c_str(), m_path.c_str()), 0);
    CInstanceLock lock;
    EXPECT_EQ(lock.Acquire(m_path), InstanceLockResult::Unavailable);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(lock.Acquire(m_dir + "/missing/Velumin.lock"), InstanceLockResult::Unavailable);
    EXPECT_FALSE(lock.Held());
}

TEST(InstanceLockPath, UsesTheRuntimeDirectoryOrFallsBackToTmp) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(InstanceLockPath(), "/run/user/4242/Velumin.lock");
    const std::string fallback = "/tmp/velumin-" + std::to_string(getuid()) + ".lock";
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InstanceLockPath(), fallback);
    // A relative runtime directory would put the lock wherever the program started.
    setenv("XDG_RUNTIME_DIR", "relative", 1);
    EXPECT_EQ(InstanceLockPath(), fallback);
    EXPECT_EQ(FallbackInstanceLockPath(), fallback);
    if (saved != nullptr) {
        setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

}  // namespace
