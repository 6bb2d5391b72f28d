// The settings file "TorvaneInstallerConfig.ini" beside the executable,
// section "Install". Read on the main thread before the command line.
#pragma once
#include <string>

#include "app/InstallerSettings.h"

inline constexpr const wchar_t* kSettingsFileName = L"TorvaneInstallerConfig.ini";

// The settings file's path for an executable path.
std::wstring SettingsFilePath(const std::wstring& executablePath);

// Overlays the file's keys on `settings`. Without a file nothing changes.
// A present file applies each key's missing-key value for absent keys.
void LoadSettingsFile(InstallerSettings& settings, const std::wstring& iniPath);

// First thing in main: defaults, then the file beside the running executable.
void LoadInstallerSettings();
