#include "platform/UserAccounts.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include "platform/TextCodec.h"

namespace platform {

bool EffectiveUserIsRoot() { return ::geteuid() == 0; }

std::optional<Account> LookUpAccount(const std::wstring& wideName) {
    const std::string name = ToNative(wideName);
    if (name.empty()) return std::nullopt;
    std::vector<char> buffer(16384);
    passwd pw {};
    passwd* found = nullptr;
    if (::getpwnam_r(name.c_str(), &pw, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return std::nullopt;
    Account account;
    account.uid = pw.pw_uid;

    int count = 64;
    std::vector<gid_t> gids(static_cast<size_t>(count));
    if (::getgrouplist(name.c_str(), pw.pw_gid, gids.data(), &count) < 0) {
        gids.resize(static_cast<size_t>(count));
        if (::getgrouplist(name.c_str(), pw.pw_gid, gids.data(), &count) < 0) count = 0;
    }
    gids.resize(static_cast<size_t>(count));
    std::vector<char> groupBuffer(65536);
    for (const gid_t gid : gids) {
        group gr {};
        group* g = nullptr;
        if (::getgrgid_r(gid, &gr, groupBuffer.data(), groupBuffer.size(), &g) == 0 && g != nullptr)
            account.groups.emplace_back(g->gr_name);
    }
    return account;
}

}  // namespace platform
