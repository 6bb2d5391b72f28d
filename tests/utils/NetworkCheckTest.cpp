#include "utils/CheckNetwork.h"

#include <gtest/gtest.h>

#include "tests/support/StderrCapture.h"

namespace {

using platform::Connectivity;

struct NetworkCase {
    Connectivity connectivity;
    uint32_t answer;
};

void PrintTo(const NetworkCase& c, std::ostream* os) { *os << "connectivity " << static_cast<int>(c.connectivity); }

class NetworkAnswer : public ::testing::TestWithParam<NetworkCase> {};

TEST_P(NetworkAnswer, MapsTheMonitorToFlagsAndVerdict) {
    EXPECT_EQ(Utils::NetworkAnswerFor(GetParam().connectivity), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Table, NetworkAnswer,
                         ::testing::Values(NetworkCase{Connectivity::MonitorMissing, 0x00000000},
                                           NetworkCase{Connectivity::NoNetwork, 0x00010000},
                                           NetworkCase{Connectivity::Local, 0x00010000},
                                           NetworkCase{Connectivity::Limited, 0x00020020},
                                           NetworkCase{Connectivity::Portal, 0x00020020},
                                           NetworkCase{Connectivity::Full, 0x00000040}));

TEST(CheckNetwork, AnswersFromTheSystemMonitorAndLogsItsVerdict) {
    testsupport::StderrCapture capture;
    const uint32_t answer = Utils::CheckNetwork();
    const std::string log = capture.Text();
    switch (answer) {
        case 0x00010000:
            EXPECT_NE(log.find("(Utils::CheckNetwork)"), std::string::npos) << log;
            EXPECT_NE(log.find(": GetConnectivity 0"), std::string::npos) << log;
            break;
        case 0x00020020:
            EXPECT_NE(log.find(": get_IsConnectedToInternet:0"), std::string::npos) << log;
            break;
        case 0x00000040:
        case 0x00000000:
            EXPECT_EQ(log.find("GetConnectivity"), std::string::npos) << log;
            EXPECT_EQ(log.find("get_IsConnectedToInternet"), std::string::npos) << log;
            break;
        default: ADD_FAILURE() << "answer outside the mapping: " << std::hex << answer;
    }
}

}  // namespace
