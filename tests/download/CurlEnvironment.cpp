// libcurl's process-wide start-up and clean-up around all tests of a
// program, as the entry does them around the installer's run.
#include <curl/curl.h>
#include <gtest/gtest.h>

namespace {

class CurlEnvironment : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK); }
    void TearDown() override { curl_global_cleanup(); }
};

// GoogleTest owns registered environments.
[[maybe_unused]] testing::Environment* const kCurl = testing::AddGlobalTestEnvironment(new CurlEnvironment);

}  // namespace
