#include "app/Route.h"

#include "utils/OSVersionName.h"

namespace {
constexpr std::wstring_view kPlaceholder = L"${ROUTE}";
}

std::wstring ApplyRoute(const std::wstring& url) {
    if (url.find(kPlaceholder) == std::wstring::npos) return url;
    return ApplyRoute(url, Utils::GetOSVersionName().version);
}

std::wstring ApplyRoute(const std::wstring& url, const std::wstring& versionName) {
    const std::wstring route =
        versionName.find(L"XP") != std::wstring::npos ? L"download_silent_xp" : L"download_silent";
    std::wstring out = url;
    // Search again from the start after each replacement, as long as any is left.
    for (size_t at = out.find(kPlaceholder); at != std::wstring::npos; at = out.find(kPlaceholder))
        out.replace(at, kPlaceholder.size(), route);
    return out;
}
