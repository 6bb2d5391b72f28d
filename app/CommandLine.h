// Applies the recognised command-line options to the settings, in this
// order: -downloadurl, -downloadtype, -downloadscale, -ischecknet, -instcmd,
// -language, -insnew. Absent options leave their setting unchanged.
// "-downloadscale" without a usable number (none, NaN) keeps the current
// share; other values are clamped to [0, 1]. Main thread only.
#pragma once
#include <string>
#include <vector>

#include "app/InstallerSettings.h"

void ParseCommandLine(InstallerSettings& settings, const std::vector<std::wstring>& args);
