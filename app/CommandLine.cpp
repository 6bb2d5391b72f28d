#include "app/CommandLine.h"

#include <cmath>

#include "app/OptionTable.h"
#include "app/Route.h"

void ParseCommandLine(InstallerSettings& settings, const std::vector<std::wstring>& args) {
    const OptionTable options(args);
    if (options.Has(L"-downloadurl")) settings.DownloadUrl = ApplyRoute(options.GetString(L"-downloadurl"));
    if (options.Has(L"-downloadtype")) settings.DownloadType = options.GetInt(L"-downloadtype");
    if (options.Has(L"-downloadscale"))
        settings.DownloadScale =
            UsableDownloadScale(options.GetDouble(L"-downloadscale", std::nan("")), settings.DownloadScale);
    if (options.Has(L"-ischecknet")) settings.IsCheckNet = options.GetBool(L"-ischecknet");
    if (options.Has(L"-instcmd")) settings.InstCmd = options.GetString(L"-instcmd");
    if (options.Has(L"-language")) settings.Language = options.GetInt(L"-language");
    if (options.Has(L"-insnew")) settings.InsNew = options.GetBool(L"-insnew");
}
