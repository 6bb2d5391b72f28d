#include "utils/DeviceId.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/Utf8.h"

namespace {

TEST(NewDeviceId, IsARandomGuidInTheFixedFormat) {
    // %08X%04X%04x then eight %02X: the third group (version 4) is the only
    // lower-case one; the fifth starts with the variant bits 10.
    const std::regex format("[0-9A-F]{8}[0-9A-F]{4}4[0-9a-f]{3}[89AB][0-9A-F]{15}");
    std::set<std::wstring> seen;
    for (int i = 0; i < 200; ++i) {
        const std::wstring id = Utils::NewDeviceId();
        ASSERT_EQ(id.size(), 32u);
        EXPECT_TRUE(std::regex_match(platform::WideToUtf8(id), format)) << platform::WideToUtf8(id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 200u);
}

}  // namespace
