// The real installer binary against the single-instance guard.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "app/SingleInstance.h"
#include "platform/SingleInstanceLock.h"

namespace {

int RunInstaller() {
    const int status = std::system(BRIM_INSTALLER_PATH " -downloadtype=3 >/dev/null 2>&1");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
}

TEST(Entry, SecondInstanceEndsAtOnceWith255) {
    auto held = platform::SingleInstanceLock::TryAcquire(kSingleInstanceName);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(RunInstaller(), 255);
    // The refused process left the holder's lock in place.
    EXPECT_EQ(platform::SingleInstanceLock::TryAcquire(kSingleInstanceName), nullptr);
    held.reset();
    EXPECT_EQ(RunInstaller(), 0);
}

}  // namespace
