// The process-wide settings record, filled in three layers: built-in
// defaults, the settings file beside the executable, then the command line.
//
// Threads: written on the main thread before any worker exists (Language is
// later written by the window thread only); workers only read it.
#pragma once
#include <string>

struct InstallerSettings {
    std::wstring DownloadUrl;
    int DownloadType = 1;
    bool IsCheckNet = false;
    double DownloadScale = 0.7;
    std::wstring InstCmd;
    bool CurlReady = true;
    int Language = -1;
    bool InsNew = false;
};

// The built-in download address (before route substitution).
inline constexpr const wchar_t* kDefaultDownloadUrl = L"https://dl.torvane.com/software/515";
// The product identifier inside fixed names.
inline constexpr const wchar_t* kProductId = L"Brimvale";

// The one record of the process.
InstallerSettings& GlobalInstallerSettings();

// The record with its built-in defaults.
InstallerSettings DefaultInstallerSettings();

// A download share made usable: NaN gives `fallback`, everything else is
// clamped to [0, 1].
double UsableDownloadScale(double value, double fallback);
