#include "utils/AdminChecks.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace Utils {

int IsAdminToken() { return platform::EffectiveUserIsRoot() ? 1 : 0; }

bool AccountIsAdministrator(const platform::Account& account) {
    if (account.uid == 0) return true;
    constexpr std::array<std::string_view, 3> kAdminGroups = {"sudo", "wheel", "admin"};
    return std::any_of(account.groups.begin(), account.groups.end(), [&](const std::string& g) {
        return std::find(kAdminGroups.begin(), kAdminGroups.end(), g) != kAdminGroups.end();
    });
}

int IsAdminAccount(const std::wstring& userName) {
    const auto account = platform::LookUpAccount(userName);
    return account && AccountIsAdministrator(*account) ? 1 : 0;
}

}  // namespace Utils
