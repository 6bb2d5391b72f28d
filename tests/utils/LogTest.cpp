#include "utils/Log.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "platform/ProcessInfo.h"
#include "tests/support/StderrCapture.h"

namespace {

TEST(Log, PrefixIsByteExact) {
    const platform::LocalTime t{2024, 3, 1, 9, 5, 7, 42};
    EXPECT_EQ(Utils::FormatLogPrefix(4712, 5120, t, L"Utils::CheckNetwork", 245),
              L"<P04712><T05120><2024-03-01 09:05:07.042>(Utils::CheckNetwork)<0245>: ");
    // Ids of six digits widen their field; lines beyond 9999 too.
    const platform::LocalTime u{2026, 12, 31, 23, 59, 59, 999};
    EXPECT_EQ(Utils::FormatLogPrefix(123456, 4194303, u, L"A::b", 12345),
              L"<P123456><T4194303><2026-12-31 23:59:59.999>(A::b)<12345>: ");
    const platform::LocalTime v{2025, 1, 2, 0, 0, 0, 0};
    EXPECT_EQ(Utils::FormatLogPrefix(1, 2, v, L"f", 7), L"<P00001><T00002><2025-01-02 00:00:00.000>(f)<0007>: ");
}

TEST(Log, QualifiedFunctionNameDropsReturnTypeAndParameters) {
    EXPECT_EQ(Utils::QualifiedFunctionName("unsigned int Utils::CheckNetwork()"), L"Utils::CheckNetwork");
    EXPECT_EQ(Utils::QualifiedFunctionName("static int CurlClient::ProgressCallback(void*, long int)"),
              L"CurlClient::ProgressCallback");
    EXPECT_EQ(Utils::QualifiedFunctionName(
                  "CDownloadInstaller::Start()::<lambda(int, double, const wchar_t*)>"),
              L"CDownloadInstaller::Start");
    EXPECT_EQ(Utils::QualifiedFunctionName("std::map<int, int> A::B::f(int)"), L"A::B::f");
    EXPECT_EQ(Utils::QualifiedFunctionName("int main()"), L"main");
    EXPECT_EQ(Utils::QualifiedFunctionName("void {anonymous}::Helper::Run()"), L"Helper::Run");
    EXPECT_EQ(Utils::QualifiedFunctionName("int A::size() const"), L"A::size");
    // A local class names the function it is nested in.
    EXPECT_EQ(Utils::QualifiedFunctionName("static void CDownloadInstaller::Start()::DownloadEventHandler::OnEvent("
                                           "CDownloadInstaller*, int, double, const wchar_t*)"),
              L"CDownloadInstaller::Start::DownloadEventHandler::OnEvent");
}

std::string LinePattern(const std::string& function, const std::string& message) {
    return "<P\\d{5,}><T\\d{5,}><\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}>\\(" + function +
           "\\)<\\d{4,}>: " + message;
}

void LogPercentAndLine() {
    LOG_DEBUG_LINE(L"100%% done %d", 5);
    LOG_DEBUG(L"GetConnectivity %d", 0);
    LOG_DEBUG(L"DL_TYPE=%d\r\n", 3);
}

TEST(Log, FormsWriteTheirLineEnds) {
    testsupport::StderrCapture capture;
    LogPercentAndLine();
    const std::string text = capture.Text();
    const std::string f = "LogPercentAndLine";
    const std::regex whole("^" + LinePattern(f, "100% done 5\r\n") + LinePattern(f, "GetConnectivity 0") +
                           LinePattern(f, "DL_TYPE=3\r\n") + "$");
    EXPECT_TRUE(std::regex_match(text, whole)) << text;
}

TEST(Log, WideArgumentsPrintAsUtf8) {
    testsupport::StderrCapture capture;
    LOG_DEBUG_LINE(L"ExePath: %ls", L"/opt/图 片/Brimvale.exe");
    const std::string text = capture.Text();
    EXPECT_NE(text.find("ExePath: /opt/\xE5\x9B\xBE \xE7\x89\x87/Brimvale.exe\r\n"), std::string::npos) << text;
}

TEST(Log, LongMessageIsWrittenWhole) {
    const std::wstring message(10000, L'x');
    testsupport::StderrCapture capture;
    LOG_DEBUG_LINE(L"%ls|", message.c_str());
    const std::string text = capture.Text();
    EXPECT_NE(text.find(std::string(10000, 'x') + "|\r\n"), std::string::npos);
    EXPECT_EQ(text.find(std::string(10001, 'x')), std::string::npos);
}

TEST(Log, ConcurrentLinesNeverInterleave) {
    testsupport::StderrCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            const std::wstring body(3000, static_cast<wchar_t>(L'a' + t));
            for (int i = 0; i < 50; ++i) LOG_DEBUG_LINE(L"%ls", body.c_str());
        });
    for (auto& th : threads) th.join();
    const std::string text = capture.Text();
    size_t lines = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(start, end - start);
        const size_t colon = line.find(">: ");
        ASSERT_NE(colon, std::string::npos);
        const std::string body = line.substr(colon + 3);
        ASSERT_EQ(body.size(), 3000u);
        EXPECT_EQ(body.find_first_not_of(body[0]), std::string::npos);
        ++lines;
        start = end + 2;
    }
    EXPECT_EQ(lines, 200u);
}

}  // namespace
