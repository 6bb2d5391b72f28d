#include "app/InstallerSettings.h"

#include <algorithm>
#include <cmath>

#include "app/Route.h"

InstallerSettings& GlobalInstallerSettings() {
    static InstallerSettings settings = DefaultInstallerSettings();
    return settings;
}

InstallerSettings DefaultInstallerSettings() {
    InstallerSettings settings;
    settings.DownloadUrl = ApplyRoute(kDefaultDownloadUrl);
    return settings;
}

double UsableDownloadScale(double value, double fallback) {
    if (std::isnan(value)) return fallback;
    return std::clamp(value, 0.0, 1.0);
}
