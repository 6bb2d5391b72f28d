// The user database: who we run as, and what an account is. Stateless;
// any thread (the reentrant lookups are used).
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace platform {

// True when the process runs with effective user id 0.
bool EffectiveUserIsRoot();

struct Account {
    unsigned uid = 0;
    std::vector<std::string> groups;  // names of every group it belongs to, primary included
};

// The account of that name, or nothing when there is none (or the name is
// empty, or the database can't be read).
std::optional<Account> LookUpAccount(const std::wstring& name);

}  // namespace platform
