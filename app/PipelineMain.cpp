// brimvale-pipeline: the installer's pipeline without the window, for
// packagers, QA and our own integration tests. It reads the settings exactly
// as the installer does (defaults, the settings file beside the executable,
// the installer's "-name=value" options) and holds no single-instance lock.
// Its own options start with "--":
//   --download-only=PATH   fetch DownloadUrl into PATH with the downloader
//                          that DownloadType selects; exit 0 on success, 1
//                          on failure.
// Every event is printed to standard output as "code\tvalue\ttext\n" (value
// "%.6f", text UTF-8), flushed line by line; the diagnostic log goes to
// standard error. Without a mode it prints its usage and exits with 64.
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/InstallerSettings.h"
#include "app/SettingsFile.h"
#include "download/DownloadEvents.h"
#include "download/DownloaderFactory.h"
#include "platform/ProcessInfo.h"
#include "platform/ProcessSetup.h"
#include "platform/Utf8.h"
#include "utils/EventQueue.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 64;

struct PipelineOptions {
    std::optional<std::wstring> downloadOnly;  // --download-only=PATH
    std::vector<std::wstring> installerArgs;   // everything that isn't ours, argv[0] first
    std::wstring badOption;                    // the first of ours that isn't valid
};

PipelineOptions ReadOptions(const std::vector<std::wstring>& args) {
    PipelineOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (i == 0 || arg.rfind(L"--", 0) != 0) {
            options.installerArgs.push_back(arg);
            continue;
        }
        constexpr std::wstring_view kDownloadOnly = L"--download-only=";
        if (arg.rfind(kDownloadOnly, 0) == 0 && arg.size() > kDownloadOnly.size() && !options.downloadOnly) {
            options.downloadOnly = arg.substr(kDownloadOnly.size());
        } else if (options.badOption.empty()) {
            options.badOption = arg;
        }
    }
    return options;
}

int Usage(const std::wstring& badOption) {
    if (!badOption.empty()) std::fprintf(stderr, "brimvale-pipeline: bad option %s\n", platform::WideToUtf8(badOption).c_str());
    std::fprintf(stderr,
                 "usage: brimvale-pipeline --download-only=PATH [-downloadurl=URL] [-downloadtype=N] "
                 "[other installer options]\n");
    return kExitUsage;
}

// One event as the downloader reported it; the text is copied because the
// callback's text is only valid during the call.
struct PipelineEvent {
    int code;
    double value;
    std::wstring text;
};

void PrintEvent(const PipelineEvent& event) {
    std::printf("%d\t%.6f\t%s\n", event.code, event.value, platform::WideToUtf8(event.text).c_str());
    std::fflush(stdout);
}

// The downloader's threads push; this (main) thread prints and answers
// DL_CODE_RETRY with Start, as the installer's coordinator does.
int RunDownloadOnly(const InstallerSettings& settings, const std::wstring& path) {
    Utils::EventQueue<PipelineEvent> events;
    const auto downloader = CreateDownloader(
        settings.DownloadType,
        [&events](int code, double value, const wchar_t* text) {
            events.Push({code, value, text ? text : L""});
        },
        settings.DownloadUrl, path);
    downloader->Start();
    for (;;) {
        const std::optional<PipelineEvent> event = events.Pop(std::chrono::seconds(1));
        if (!event) continue;
        PrintEvent(*event);
        if (event->code == DL_CODE_RETRY) downloader->Start();
        else if (event->code == DL_CODE_SUCCESS) return kExitSuccess;
        else if (event->code == DL_CODE_FAIL) return kExitFailure;
    }
}

}  // namespace

int main(int argc, char** argv) {
    platform::InitProcess();
    LoadInstallerSettings();
    InstallerSettings& settings = GlobalInstallerSettings();

    const PipelineOptions options = ReadOptions(platform::CommandLineArguments(argc, argv));
    if (!options.badOption.empty() || !options.downloadOnly) return Usage(options.badOption);

    const bool curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    if (!curlReady) settings.CurlReady = false;
    ParseCommandLine(settings, options.installerArgs);

    const int exitCode = RunDownloadOnly(settings, *options.downloadOnly);
    if (curlReady) curl_global_cleanup();
    return exitCode;
}
