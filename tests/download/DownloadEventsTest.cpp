// The download event codes and their names.
#include "download/DownloadEvents.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DownloadEvents, EveryCodeHasItsName) {
    const std::pair<int, std::wstring> table[] = {
        {1001, L"DL_CODE_START"}, {1002, L"DL_CODE_PROGRESS"}, {1003, L"DL_CODE_SUCCESS"},
        {1004, L"DL_CODE_FAIL"},  {1005, L"DL_CODE_RETRY"},    {1006, L"DL_CODE_MD5"}};
    for (const auto& [code, name] : table) EXPECT_EQ(DownloadEventName(code), name) << code;
    EXPECT_EQ(DL_CODE_START, 1001);
    EXPECT_EQ(DL_CODE_MD5, 1006);
    for (const int other : {0, 1000, 1007, 2003, -1}) EXPECT_EQ(std::wstring(DownloadEventName(other)), L"") << other;
}

}  // namespace
