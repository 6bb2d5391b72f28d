#include "install/CInstaller.h"

#include "install/ChildOutputLoop.h"
#include "install/ProtocolValues.h"
#include "platform/ExecuteBit.h"
#include "utils/ChildProcess.h"
#include "utils/Encoding.h"
#include "utils/Log.h"

namespace {

const wchar_t* TrueFalse(bool on) { return on ? L"true" : L"false"; }

// The package path without its surrounding quotes.
std::wstring Unquoted(const std::wstring& path) {
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') return path.substr(1, path.size() - 2);
    return path;
}

}  // namespace

CInstaller::CInstaller(ProgressCallback callback, std::wstring quotedPackagePath, std::wstring installFolder,
                       bool desktopShortcut, bool quickLaunch, bool adminAccount, const InstallerSettings& settings)
    : callback_(std::move(callback)),
      packagePath_(std::move(quotedPackagePath)),
      installFolder_(std::move(installFolder)),
      quickLaunch_(quickLaunch),
      desktopShortcut_(desktopShortcut),
      adminAccount_(adminAccount),
      settings_(settings) {}

CInstaller::~CInstaller() { worker_.reset(); }

std::wstring CInstaller::BuildCommandLine() const {
    std::wstring line = packagePath_;
    line += L" /S -console=show -version=1.0.0";
    line += L" -adminact=";
    line += TrueFalse(adminAccount_);
    line += L" -authorizationact=";
    line += TrueFalse(adminToken_);
    line += L" -dsc=";
    line += TrueFalse(desktopShortcut_);
    line += L" -ssc=";
    line += TrueFalse(quickLaunch_);
    if (!language_.empty()) line += L" -inslang=\"" + language_ + L"\"";
    if (!settings_.InstCmd.empty()) line += L" " + settings_.InstCmd;
    if (!installFolder_.empty()) line += L" -instdir=\"" + installFolder_ + L"\" /D=" + installFolder_;
    return line;
}

void CInstaller::Start() {
    // The earlier run reads the command line: let it finish before it changes.
    worker_.reset();
    commandLine_ = BuildCommandLine();
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", [](void* self) {
        static_cast<CInstaller*>(self)->Run();
        return 0u;
    });
    worker_->Resume();
}

void CInstaller::Send(int code, double value, const std::wstring& text) const {
    if (callback_) callback_(code, value, text.c_str());
}

void CInstaller::Run() {
    Send(IST_CODE_START, 0.0);
    const std::wstring program = Unquoted(packagePath_);
    if (program.empty()) {
        Send(IST_CODE_FAIL, 1.0);
        return;
    }
    Send(IST_CODE_PROGRESS, 0.0);
    // A downloaded file has no execute bit; the start fails anyway if this does.
    platform::AddOwnerExecuteBit(program);
    Utils::ChildProcess child;
    try {
        child.Start(commandLine_);
    } catch (const std::exception&) {
        Send(IST_CODE_FAIL, 2.0);
        return;
    }
    bool finalLineSeen = false;
    ReadChildOutput(child, [this, &finalLineSeen](std::string_view bytes) {
        if (Parse(Utils::MultiByteToWide(bytes, static_cast<unsigned>(codePage_))) == 0) return true;
        finalLineSeen = true;
        return false;
    });
    child.Close();
    if (!finalLineSeen) Send(IST_CODE_SUCCESS, 1.0);
}

int CInstaller::Parse(std::wstring_view line) {
    using protocol::TextValue;
    using protocol::ComparedValue;
    using protocol::ValueAfter;
    auto detention = [](std::wstring_view v) {
        return static_cast<double>(static_cast<uint32_t>(protocol::IntegerValue(v)));
    };
    if (auto v = ValueAfter(line, L"Progress=")) {
        Send(IST_CODE_PROGRESS, protocol::NumberValue(*v));
    } else if (auto v = ValueAfter(line, L"InstPath=")) {
        Send(IST_INFO_INST_PATH, 0.0, TextValue(*v));
    } else if (auto v = ValueAfter(line, L"State=")) {
        const std::wstring_view state = ComparedValue(*v);
        if (state == L"Success") {
            Send(IST_CODE_SUCCESS, 0.0);
            return 1;
        }
        if (state == L"Fail") {
            Send(IST_CODE_FAIL, 0.0, L"安装包安装失败");
            return 1000;
        }
    } else if (auto v = ValueAfter(line, L"InstallVersion=")) {
        protocol::ReadVersion(*v, version_);
    } else if (auto v = ValueAfter(line, L"ExePath=")) {
        const std::wstring text = TextValue(*v);
        LOG_DEBUG(L"ExePath: %ls", text.c_str());
        Send(IST_INFO_EXE_PATH, 0.0, text);
    } else if (auto v = ValueAfter(line, L"StartExe=")) {
        Send(IST_INFO_EXE_PATH, 0.0, TextValue(*v));
    } else if (auto v = ValueAfter(line, L"UninstExePath=")) {
        Send(IST_INFO_UNINST_EXE, 0.0, TextValue(*v));
    } else if (auto v = ValueAfter(line, L"UninstExe=")) {
        Send(IST_INFO_UNINST_EXE, 0.0, TextValue(*v));
    } else if (auto v = ValueAfter(line, L"UninstEp=")) {
        Send(IST_INFO_UNINST_EP, 0.0, TextValue(*v));
    } else if (auto v = ValueAfter(line, L"Error=")) {
        Send(IST_CODE_FAIL, 1000.0, TextValue(*v));
        return 1000;
    } else if (auto v = ValueAfter(line, L"TopShowDetention=")) {
        Send(IST_INFO_TOP_SHOW_DETENTION, detention(*v));
    } else if (auto v = ValueAfter(line, L"FinsihCloseDetention=")) {
        Send(IST_INFO_FINISH_CLOSE_DETENTION, detention(*v));
    } else if (auto v = ValueAfter(line, L"StartUrl=")) {
        Send(IST_INFO_START_URL, 0.0, TextValue(*v));
    } else if (auto v = ValueAfter(line, L"StartupStyle=")) {
        const std::wstring_view style = ComparedValue(*v);
        Send(IST_INFO_STARTUP_STYLE, style == L"AutoStartup" ? 1.0 : style == L"UserStartup" ? 2.0 : 0.0);
    } else if (auto v = ValueAfter(line, L"Encode=")) {
        const std::wstring_view encoding = ComparedValue(*v);
        codePage_ = encoding == L"UTF8" ? 65001 : encoding == L"ACP" ? 0 : protocol::CodePageNumber(encoding);
    } else if (auto v = ValueAfter(line, L"Message=")) {
        Send(IST_INFO_MESSAGE, 0.0, TextValue(*v));
    }
    return 0;
}
