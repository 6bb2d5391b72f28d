#include "app/Route.h"

#include <gtest/gtest.h>

namespace {

TEST(Route, ReplacesEveryPlaceholderByTheVersionsRoute) {
    struct {
        const wchar_t* url;
        const wchar_t* version;
        const wchar_t* expected;
    } cases[] = {
        {L"https://h/${ROUTE}/setup.exe", L"XP", L"https://h/download_silent_xp/setup.exe"},
        {L"https://h/${ROUTE}/setup.exe", L"XP-", L"https://h/download_silent_xp/setup.exe"},
        {L"https://h/${ROUTE}/setup.exe", L"XP+", L"https://h/download_silent_xp/setup.exe"},
        {L"https://h/${ROUTE}/setup.exe", L"7", L"https://h/download_silent/setup.exe"},
        {L"https://h/${ROUTE}/setup.exe", L"10", L"https://h/download_silent/setup.exe"},
        {L"https://h/${ROUTE}/${ROUTE}", L"10", L"https://h/download_silent/download_silent"},
        // A replacement that forms a new placeholder is replaced again.
        {L"https://h/$${ROUTE}{ROUTE}", L"10", L"https://h/$download_silent{ROUTE}"},
        {L"https://h/software/515", L"XP", L"https://h/software/515"},
        {L"", L"XP", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(ApplyRoute(c.url, c.version), c.expected) << c.url << " " << c.version;
}

TEST(Route, RunningSystemIsNotXp) {
    EXPECT_EQ(ApplyRoute(L"/${ROUTE}/a"), L"/download_silent/a");
}

}  // namespace
