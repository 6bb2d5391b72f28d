// The two administrator questions. IsAdminToken asks about this process
// (does it run with administrator rights now); IsAdminAccount about an
// account (may that user become administrator). Stateless; any thread.
#pragma once
#include <string>

#include "platform/UserAccounts.h"

namespace Utils {

// Nonzero when the process runs as root (effective user id 0).
int IsAdminToken();

// 1 when the account exists and is root or belongs to the sudo, wheel or
// admin group; 0 otherwise (unknown user, empty name, database unreadable).
int IsAdminAccount(const std::wstring& userName);

// The rule behind IsAdminAccount for one account (pure).
bool AccountIsAdministrator(const platform::Account& account);

}  // namespace Utils
