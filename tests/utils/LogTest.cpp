#include "utils/Log.h"

#include <gtest/gtest.h>

#include <cctype>
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

// True when `text` at `at` holds one log line of `function` carrying
// `message` (its line end included); `at` moves past it.
bool TakeLine(const std::string& text, size_t& at, const std::string& function, const std::string& message) {
    // "<P" digits "><T" digits "><" 23-character time ">(" function ")<" digits ">: "
    auto digits = [&](size_t& i, size_t min) {
        const size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        return i - start >= min;
    };
    auto literal = [&](size_t& i, const std::string& s) {
        if (text.compare(i, s.size(), s) != 0) return false;
        i += s.size();
        return true;
    };
    size_t i = at;
    if (!literal(i, "<P") || !digits(i, 5) || !literal(i, "><T") || !digits(i, 5) || !literal(i, "><")) return false;
    const std::string time = text.substr(i, 23);  // 2024-03-01 09:05:07.042
    if (time.size() != 23 || time[4] != '-' || time[7] != '-' || time[10] != ' ' || time[13] != ':' ||
        time[16] != ':' || time[19] != '.')
        return false;
    i += 23;
    if (!literal(i, ">(" + function + ")<") || !digits(i, 4) || !literal(i, ">: " + message)) return false;
    at = i;
    return true;
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
    size_t at = 0;
    EXPECT_TRUE(TakeLine(text, at, f, "100% done 5\r\n")) << text;
    EXPECT_TRUE(TakeLine(text, at, f, "GetConnectivity 0")) << text;  // no line end of its own
    EXPECT_TRUE(TakeLine(text, at, f, "DL_TYPE=3\r\n")) << text;
    EXPECT_EQ(at, text.size()) << text;
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
