// The installer's entry: settings, libcurl, single instance, command line.
#include <curl/curl.h>

#include "app/CommandLine.h"
#include "app/InstallerSettings.h"
#include "app/SettingsFile.h"
#include "app/SingleInstance.h"
#include "platform/ProcessInfo.h"
#include "platform/ProcessSetup.h"
#include "platform/SingleInstanceLock.h"

int main(int argc, char** argv) {
    platform::InitProcess();
    LoadInstallerSettings();
    InstallerSettings& settings = GlobalInstallerSettings();

    const bool curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    if (!curlReady) settings.CurlReady = false;

    const auto instance = platform::SingleInstanceLock::TryAcquire(kSingleInstanceName);
    if (!instance) {
        if (curlReady) curl_global_cleanup();
        return -1;
    }

    ParseCommandLine(settings, platform::CommandLineArguments(argc, argv));

    // The window is not part of this build yet: configuration is the whole job.
    if (curlReady) curl_global_cleanup();
    return 0;
}
