// The name of the single-instance guard that every installer of this
// product takes at start-up.
#pragma once

inline constexpr const wchar_t* kSingleInstanceName = L"D1A547DB89C0BC61_Installer_Brimvale";
