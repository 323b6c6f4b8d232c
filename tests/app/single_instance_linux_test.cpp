// The single-instance lock on real files.
#include "app/single_instance_linux.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/files.h"

extern char** environ;

namespace {

TEST(InstanceLock, SecondHolderIsToldAnotherRunsUntilTheFirstEndsAndNoProgramInheritsIt) {
    testsupport::TempDir dir;
    const std::string path = (dir / "Velumin.lock").string();
    pid_t child = -1;
    {
        CInstanceLock first;
        ASSERT_EQ(first.Acquire(path), InstanceLockResult::Acquired);
        CInstanceLock second;
        EXPECT_EQ(second.Acquire(path), InstanceLockResult::HeldElsewhere);
        // A program started meanwhile (a browser from the About dialog) must not keep it.
        char sleep[] = "sleep";
        char seconds[] = "30";
        char* argv[] = {sleep, seconds, nullptr};
        ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    }
    CInstanceLock next;
    EXPECT_EQ(next.Acquire(path), InstanceLockResult::Acquired);
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
