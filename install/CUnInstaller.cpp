#include "install/CUnInstaller.h"

#include "install/ChildOutputLoop.h"
#include "install/ProtocolValues.h"
#include "platform/FileSystem.h"
#include "utils/AdminChecks.h"
#include "utils/ChildProcess.h"
#include "utils/ConsoleUserName.h"
#include "utils/Encoding.h"

CUnInstaller::CUnInstaller(ProgressCallback callback, std::wstring program, std::wstring installedFolder)
    : callback_(std::move(callback)), program_(std::move(program)), installedFolder_(std::move(installedFolder)) {}

CUnInstaller::~CUnInstaller() { worker_.reset(); }

std::wstring CUnInstaller::BuildCommandLine() const {
    std::wstring consoleUser;
    Utils::GetConsoleUserName(consoleUser);
    const bool account = Utils::IsAdminAccount(consoleUser) == 1;
    const bool token = Utils::IsAdminToken() != 0;
    // A program path with blanks would otherwise start the wrong program.
    const bool quote = program_.find_first_of(L" \t") != std::wstring::npos;
    std::wstring line = quote ? L"\"" + program_ + L"\"" : program_;
    line += L" /S -adminact=";
    line += account ? L"true" : L"false";
    line += L" -authorizationact=";
    line += token ? L"true" : L"false";
    line += L" -console=show _?=" + installedFolder_;
    return line;
}

void CUnInstaller::Start() {
    worker_.reset();  // the earlier run reads the command line
    commandLine_ = BuildCommandLine();
    worker_ = std::make_unique<Utils::Thread>(this, L"UnInstaller", [](void* self) {
        static_cast<CUnInstaller*>(self)->Run();
        return 0u;
    });
    worker_->Resume();
}

void CUnInstaller::Wait() {
    if (worker_) worker_->Wait();
}

void CUnInstaller::Send(int code, double value, const std::wstring& text) const {
    if (callback_) callback_(code, value, text.c_str());
}

void CUnInstaller::Run() {
    if (!platform::PathExists(program_)) {
        Send(UNIST_CODE_FAIL, 1.0, L"可执行卸载文件不存在");
        return;
    }
    Send(UNIST_CODE_PROGRESS, 0.0);
    Utils::ChildProcess child;
    try {
        child.Start(commandLine_);
    } catch (const std::exception&) {
        Send(UNIST_CODE_FAIL, 2.0);
        return;
    }
    bool success = true;
    ReadChildOutput(child, [this, &success](std::string_view bytes) {
        if (Parse(Utils::MultiByteToWide(bytes, static_cast<unsigned>(codePage_))) != 0) success = false;
        return true;  // every line counts, also after a final one
    });
    child.Close();
    if (success) Send(UNIST_CODE_SUCCESS, 1.0);
}

int CUnInstaller::Parse(std::wstring_view line) {
    using protocol::ValueAfter;
    if (auto v = ValueAfter(line, L"Progress=")) {
        Send(UNIST_CODE_PROGRESS, protocol::NumberValue(*v));
    } else if (auto v = ValueAfter(line, L"Error=")) {
        Send(UNIST_CODE_ERROR, 0.0, protocol::TextValue(*v));
        return 1000;
    } else if (auto v = ValueAfter(line, L"State=")) {
        const std::wstring_view state = protocol::ComparedValue(*v);
        if (state == L"Success") {
            Send(UNIST_CODE_SUCCESS, 0.0);
            return 1;
        }
        if (state == L"Fail") {
            Send(UNIST_CODE_ERROR, 0.0, L"安装包卸载失败");
            return 1000;
        }
    } else if (auto v = ValueAfter(line, L"Encode=")) {
        // Only UTF-8 can be announced here; anything else means the ANSI code page.
        codePage_ = protocol::ComparedValue(*v) == L"UTF8" ? 65001 : 0;
    }
    return 0;
}
