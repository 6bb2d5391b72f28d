#include "platform/SingleInstanceLock.h"

#include <gtest/gtest.h>

namespace {

TEST(SingleInstanceLock, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    const std::wstring name = L"brim-test-lock-" + std::to_wstring(::getpid());
    auto first = platform::SingleInstanceLock::TryAcquire(name);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(platform::SingleInstanceLock::TryAcquire(name), nullptr);
    first.reset();
    EXPECT_NE(platform::SingleInstanceLock::TryAcquire(name), nullptr);
}

TEST(SingleInstanceLock, NamesThatAreNotFileNamesAreRefused) {
    EXPECT_EQ(platform::SingleInstanceLock::TryAcquire(L""), nullptr);
    EXPECT_EQ(platform::SingleInstanceLock::TryAcquire(L"../escape"), nullptr);
}

}  // namespace
