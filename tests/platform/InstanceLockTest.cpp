#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TempFolder.h"

namespace {

using platform::InstanceLock;
using testsupport::ScopedEnv;
using testsupport::TempFolder;

class InstanceLockTest : public ::testing::Test {
protected:
    TempFolder runtime;
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().string()};
};

TEST_F(InstanceLockTest, SameNameIsRefusedOtherNamesAreNot) {
    auto first = InstanceLock::Acquire(L"D1A547DB89C0BC61_Installer_Mavrix");
    ASSERT_TRUE(first);
    auto second = InstanceLock::Acquire(L"D1A547DB89C0BC61_Installer_Mavrix");
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().code, EEXIST);
    EXPECT_TRUE(InstanceLock::Acquire(L"Installer_Mavrix"));
    EXPECT_TRUE(InstanceLock::Acquire(L"a/b"));  // a slash does not escape the folder
}

TEST_F(InstanceLockTest, ReleasedWhenTheObjectGoes) {
    { auto held = InstanceLock::Acquire(L"name"); ASSERT_TRUE(held); }
    EXPECT_TRUE(InstanceLock::Acquire(L"name"));
}

TEST_F(InstanceLockTest, NoStaleLockAfterTheHolderIsKilled) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto held = InstanceLock::Acquire(L"crashing");
        if (!held) _exit(1);
        raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(InstanceLock::Acquire(L"crashing"));
}

}  // namespace
