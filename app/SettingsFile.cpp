#include "app/SettingsFile.h"

#include <cwchar>

#include "app/Route.h"
#include "platform/FileSystem.h"
#include "platform/ProcessInfo.h"
#include "platform/ProfileFile.h"

namespace {
constexpr const wchar_t* kSection = L"Install";
}

std::wstring SettingsFilePath(const std::wstring& executablePath) {
    return platform::ParentFolder(executablePath) + platform::kPathSeparator + kSettingsFileName;
}

void LoadSettingsFile(InstallerSettings& settings, const std::wstring& ini) {
    if (!platform::PathExists(ini)) return;
    settings.DownloadUrl = ApplyRoute(platform::ReadProfileString(ini, kSection, L"DownloadUrl", kDefaultDownloadUrl));
    settings.DownloadType = platform::ReadProfileInt(ini, kSection, L"DownloadType", 1);
    settings.IsCheckNet = platform::ReadProfileString(ini, kSection, L"IsCheckNet", L"true") == L"true";
    const std::wstring scale = platform::ReadProfileString(ini, kSection, L"DownloadScale", L"0.7");
    wchar_t* end = nullptr;
    const double value = std::wcstod(scale.c_str(), &end);
    // No number gives 0.0, the whole bar to the installation.
    settings.DownloadScale = end == scale.c_str() ? 0.0 : UsableDownloadScale(value, 0.0);
    settings.InstCmd = platform::ReadProfileString(ini, kSection, L"InstCmd", L"");
}

void LoadInstallerSettings() {
    InstallerSettings& settings = GlobalInstallerSettings();
    settings = DefaultInstallerSettings();
    LoadSettingsFile(settings, SettingsFilePath(platform::ExecutablePath()));
}
