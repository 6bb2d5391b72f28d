// brimvale-pipeline: the installer's pipeline without the window, for
// packagers, QA and our own integration tests. It reads the settings exactly
// as the installer does (defaults, the settings file beside the executable,
// the installer's "-name=value" options) and holds no single-instance lock.
// Its own options start with "--":
//   --download-only=PATH   fetch DownloadUrl into PATH with the downloader
//                          that DownloadType selects; exit 0 on success, 1
//                          on failure.
//   --dir=FOLDER           run the whole chain (removal, download,
//                          installation) into FOLDER, with
//   --uninstaller=PATH     the installed version's uninstaller (none:
//                          nothing to remove),
//   --lang=TAG             the package language (none: no "-inslang"),
//   --dsc=true|false, --ssc=true|false   the shortcut choices (default true).
//   The chain exits 0 after 2003, 1 after 2004, 2 after 1004, and 3 when
//   the removal ended without a 5003.
// Every event is printed to standard output as "code\tvalue\ttext\n" (value
// "%.6f", text UTF-8), flushed line by line; the diagnostic log goes to
// standard error. Bad or missing options print the usage and exit with 64.
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/InstallerSettings.h"
#include "app/SettingsFile.h"
#include "download/DownloadEvents.h"
#include "download/DownloaderFactory.h"
#include "install/CDownloadInstaller.h"
#include "install/InstallEvents.h"
#include "platform/ProcessInfo.h"
#include "platform/ProcessSetup.h"
#include "platform/Utf8.h"
#include "utils/AdminChecks.h"
#include "utils/ConsoleUserName.h"
#include "utils/EventQueue.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitDownloadFailed = 2;
constexpr int kExitRemovalFailed = 3;
constexpr int kExitUsage = 64;

struct PipelineOptions {
    std::optional<std::wstring> downloadOnly;  // --download-only=PATH
    std::optional<std::wstring> dir;           // --dir=FOLDER
    std::wstring uninstaller;                  // --uninstaller=PATH
    std::wstring language;                     // --lang=TAG
    bool desktopShortcut = true;               // --dsc
    bool quickLaunch = true;                   // --ssc
    std::vector<std::wstring> installerArgs;   // everything that isn't ours, argv[0] first
    std::wstring badOption;                    // the first of ours that isn't valid
};

// The value of "--name=value" when `arg` is that option.
std::optional<std::wstring> ValueOf(const std::wstring& arg, std::wstring_view name) {
    if (arg.size() <= name.size() || arg.compare(0, name.size(), name) != 0) return std::nullopt;
    return arg.substr(name.size());
}

bool ReadFlag(const std::wstring& value, bool& flag) {
    if (value != L"true" && value != L"false") return false;
    flag = value == L"true";
    return true;
}

PipelineOptions ReadOptions(const std::vector<std::wstring>& args) {
    PipelineOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (i == 0 || arg.rfind(L"--", 0) != 0) {
            options.installerArgs.push_back(arg);
            continue;
        }
        bool ok = true;
        if (auto v = ValueOf(arg, L"--download-only=")) options.downloadOnly = *v;
        else if (auto d = ValueOf(arg, L"--dir=")) options.dir = *d;
        else if (auto u = ValueOf(arg, L"--uninstaller=")) options.uninstaller = *u;
        else if (auto l = ValueOf(arg, L"--lang=")) options.language = *l;
        else if (auto s = ValueOf(arg, L"--dsc=")) ok = ReadFlag(*s, options.desktopShortcut);
        else if (auto q = ValueOf(arg, L"--ssc=")) ok = ReadFlag(*q, options.quickLaunch);
        else ok = false;
        if (!ok && options.badOption.empty()) options.badOption = arg;
    }
    return options;
}

int Usage(const std::wstring& badOption) {
    if (!badOption.empty())
        std::fprintf(stderr, "brimvale-pipeline: bad option %s\n", platform::WideToUtf8(badOption).c_str());
    std::fprintf(stderr,
                 "usage: brimvale-pipeline --download-only=PATH [installer options]\n"
                 "       brimvale-pipeline --dir=FOLDER [--uninstaller=PATH] [--lang=TAG] [--dsc=true|false]\n"
                 "                         [--ssc=true|false] [installer options]\n"
                 "installer options: -downloadurl= -downloadtype= -downloadscale= -ischecknet= -instcmd=\n"
                 "                   -language= -insnew=\n");
    return kExitUsage;
}

// One event as it was reported; the text is copied because the callback's
// text is only valid during the call.
struct PipelineEvent {
    int code;
    double value;
    std::wstring text;
};

void PrintEvent(const PipelineEvent& event) {
    std::printf("%d\t%.6f\t%s\n", event.code, event.value, platform::WideToUtf8(event.text).c_str());
    std::fflush(stdout);
}

ProgressCallback PushTo(Utils::EventQueue<PipelineEvent>& events) {
    return [&events](int code, double value, const wchar_t* text) { events.Push({code, value, text ? text : L""}); };
}

// The downloader's threads push; this (main) thread prints and answers
// DL_CODE_RETRY with Start, as the installer's coordinator does.
int RunDownloadOnly(const InstallerSettings& settings, const std::wstring& path) {
    Utils::EventQueue<PipelineEvent> events;
    const auto downloader = CreateDownloader(settings.DownloadType, PushTo(events), settings.DownloadUrl, path);
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

// The exit code an event ends the chain with, if it does.
std::optional<int> ChainOutcome(int code) {
    switch (code) {
        case IST_CODE_SUCCESS: return kExitSuccess;
        case IST_CODE_FAIL: return kExitFailure;
        case DL_CODE_FAIL: return kExitDownloadFailed;
        case UNIST_CODE_FAIL: return kExitRemovalFailed;
        default: return std::nullopt;
    }
}

// The whole chain through the coordinator, as the window drives it.
int RunChain(const InstallerSettings& settings, const PipelineOptions& options) {
    Utils::EventQueue<PipelineEvent> events;
    std::wstring consoleUser;
    Utils::GetConsoleUserName(consoleUser);
    auto chain = std::make_unique<CDownloadInstaller>(PushTo(events), L"", L"", L"", true, true, true);
    chain->Init(settings.DownloadUrl, options.uninstaller, *options.dir, options.desktopShortcut, options.quickLaunch,
                Utils::IsAdminAccount(consoleUser) == 1, Utils::IsAdminToken() != 0, options.language);
    chain->Start();
    std::optional<int> outcome;
    while (!outcome) {
        const std::optional<PipelineEvent> event = events.Pop(std::chrono::seconds(1));
        if (!event) continue;
        PrintEvent(*event);
        outcome = ChainOutcome(event->code);
        if (event->code != UNIST_CODE_ERROR) continue;
        // An error line may still be followed by a success state: once the
        // remover has ended, every event it sent is queued.
        chain->WaitForRemoval();
        bool removed = false;
        for (auto queued = events.TryPop(); queued; queued = events.TryPop()) {
            PrintEvent(*queued);
            removed = removed || queued->code == UNIST_CODE_SUCCESS;
            if (!outcome) outcome = ChainOutcome(queued->code);
        }
        if (!removed && !outcome) outcome = kExitRemovalFailed;
    }
    chain.reset();  // the clean-up has run and every worker has ended
    for (auto late = events.TryPop(); late; late = events.TryPop()) PrintEvent(*late);
    return *outcome;
}

}  // namespace

int main(int argc, char** argv) {
    platform::InitProcess();
    LoadInstallerSettings();
    InstallerSettings& settings = GlobalInstallerSettings();

    const PipelineOptions options = ReadOptions(platform::CommandLineArguments(argc, argv));
    if (!options.badOption.empty() || (!options.downloadOnly && !options.dir)) return Usage(options.badOption);

    const bool curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    if (!curlReady) settings.CurlReady = false;
    ParseCommandLine(settings, options.installerArgs);

    const int exitCode =
        options.downloadOnly ? RunDownloadOnly(settings, *options.downloadOnly) : RunChain(settings, options);
    if (curlReady) curl_global_cleanup();
    return exitCode;
}
