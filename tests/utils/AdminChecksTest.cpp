#include "utils/AdminChecks.h"

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

struct AccountCase {
    const char* name;
    platform::Account account;
    bool administrator;
};

void PrintTo(const AccountCase& c, std::ostream* os) { *os << c.name; }

class AccountRule : public ::testing::TestWithParam<AccountCase> {};

TEST_P(AccountRule, RootOrAnAdministratorGroupMakesAnAdministrator) {
    EXPECT_EQ(Utils::AccountIsAdministrator(GetParam().account), GetParam().administrator) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AccountRule,
    ::testing::Values(AccountCase{"root", {0, {"root"}}, true},
                      AccountCase{"root without groups", {0, {}}, true},
                      AccountCase{"sudo member", {1000, {"alice", "sudo"}}, true},
                      AccountCase{"wheel member", {1000, {"wheel"}}, true},
                      AccountCase{"admin member", {1000, {"users", "admin"}}, true},
                      AccountCase{"adm is not admin", {1000, {"adm", "users"}}, false},
                      AccountCase{"names compare exactly", {1000, {"Sudo", "sudoers", "wheel2"}}, false},
                      AccountCase{"plain user", {1000, {"alice"}}, false}));

TEST(IsAdminAccount, AsksTheUserDatabase) {
    EXPECT_EQ(Utils::IsAdminAccount(L"root"), 1);
    EXPECT_EQ(Utils::IsAdminAccount(L"nobody"), 0);
    EXPECT_EQ(Utils::IsAdminAccount(L"no-such-user-brim"), 0);
    EXPECT_EQ(Utils::IsAdminAccount(L""), 0);
}

TEST(IsAdminToken, IsTheEffectiveUserBeingRoot) {
    // CI runs as root, where the answer is nonzero.
    EXPECT_EQ(Utils::IsAdminToken() != 0, ::geteuid() == 0);
}

}  // namespace
