#include "utils/ConsoleUserName.h"

#include <gio/gio.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/support/TempDir.h"
#include "utils/ChildProcess.h"

namespace {

using namespace std::chrono_literals;

// A message bus of our own (dbus-daemon with the session rules) that stands
// in for the system bus: DBUS_SYSTEM_BUS_ADDRESS points at it.
class PrivateBus {
public:
    PrivateBus() {
        const std::string socket = dir_.File("bus");
        address_ = "unix:path=" + socket;
        daemon_.Start(L"dbus-daemon --session --nofork --print-address --address=" +
                      std::wstring(address_.begin(), address_.end()));
        // It prints its address once it listens.
        char buffer[512];
        std::string printed;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (printed.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            const auto out = daemon_.ReadOutput(buffer, sizeof(buffer), 100ms);
            if (out.status == Utils::ChildProcess::ReadStatus::End) break;
            if (out.status == Utils::ChildProcess::ReadStatus::Data) printed.append(buffer, out.size);
        }
        ready_ = printed.find(socket) != std::string::npos;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    }
    ~PrivateBus() {
        ::kill(daemon_.ProcessId(), SIGTERM);
        daemon_.Wait();
    }
    bool ready() const { return ready_; }
    const std::string& address() const { return address_; }

private:
    testsupport::TempDir dir_;
    std::string address_;
    Utils::ChildProcess daemon_;
    bool ready_ = false;
};

constexpr const char* kIntrospection = R"xml(<node>
  <interface name="org.freedesktop.login1.Seat"><property name="ActiveSession" type="(so)" access="read"/></interface>
  <interface name="org.freedesktop.login1.Session"><property name="Name" type="s" access="read"/></interface>
</node>)xml";

struct LogindState {
    std::string sessionId;
    std::string sessionPath;
    std::string userName;
};

// A login manager on the bus that owns org.freedesktop.login1 and answers
// the seat's and the session's properties. When `answer` is false its
// objects are bound to a context nobody runs, so every question stays
// unanswered.
class FakeLogind {
public:
    FakeLogind(const std::string& address, LogindState state, bool answer) : state_(std::move(state)) {
        context_ = g_main_context_new();
        loop_ = g_main_loop_new(context_, FALSE);
        g_main_context_push_thread_default(context_);
        bus_ = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        if (bus_ != nullptr) {
            GVariant* reply = g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                          "org.freedesktop.DBus", "RequestName",
                                                          g_variant_new("(su)", "org.freedesktop.login1", 4u),
                                                          nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            if (reply != nullptr) g_variant_unref(reply);
            node_ = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
            static const GDBusInterfaceVTable vtable = {nullptr, &FakeLogind::GetProperty, nullptr, {}};
            seat_ = g_dbus_connection_register_object(bus_, "/org/freedesktop/login1/seat/seat0",
                                                      node_->interfaces[0], &vtable, this, nullptr, nullptr);
            if (!state_.sessionPath.empty() && state_.sessionPath != "/")
                session_ = g_dbus_connection_register_object(bus_, state_.sessionPath.c_str(), node_->interfaces[1],
                                                             &vtable, this, nullptr, nullptr);
        }
        g_main_context_pop_thread_default(context_);
        if (answer) thread_ = std::thread([this] { g_main_loop_run(loop_); });
    }
    ~FakeLogind() {
        if (thread_.joinable()) {
            g_main_loop_quit(loop_);
            thread_.join();
        }
        if (bus_ != nullptr) {
            if (seat_ != 0) g_dbus_connection_unregister_object(bus_, seat_);
            if (session_ != 0) g_dbus_connection_unregister_object(bus_, session_);
            g_dbus_connection_close_sync(bus_, nullptr, nullptr);
            g_object_unref(bus_);
        }
        if (node_ != nullptr) g_dbus_node_info_unref(node_);
        // Let pending unregistration callbacks run before the context goes.
        while (g_main_context_iteration(context_, FALSE)) {
        }
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
    }
    bool ok() const { return bus_ != nullptr && seat_ != 0; }

private:
    static GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                                 const gchar* property, GError**, gpointer self) {
        const auto& s = static_cast<FakeLogind*>(self)->state_;
        if (g_strcmp0(property, "ActiveSession") == 0)
            return g_variant_new("(so)", s.sessionId.c_str(), s.sessionPath.c_str());
        if (g_strcmp0(interface, "org.freedesktop.login1.Session") == 0 && g_strcmp0(property, "Name") == 0)
            return g_variant_new_string(s.userName.c_str());
        return nullptr;
    }

    LogindState state_;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GDBusConnection* bus_ = nullptr;
    GDBusNodeInfo* node_ = nullptr;
    guint seat_ = 0;
    guint session_ = 0;
    std::thread thread_;
};

struct SeatCase {
    const char* name;
    bool withLogind;
    LogindState state;
    bool found;
    const wchar_t* user;  // what the output holds afterwards
};

void PrintTo(const SeatCase& c, std::ostream* os) { *os << c.name; }

class ConsoleUserOnABus : public testing::TestWithParam<SeatCase> {};

TEST_P(ConsoleUserOnABus, AnswersFromTheLoginManager) {
    const SeatCase& c = GetParam();
    PrivateBus bus;
    ASSERT_TRUE(bus.ready());
    std::unique_ptr<FakeLogind> logind;
    if (c.withLogind) {
        logind = std::make_unique<FakeLogind>(bus.address(), c.state, true);
        ASSERT_TRUE(logind->ok());
    }
    std::wstring name = L"before";
    EXPECT_EQ(Utils::GetConsoleUserName(name), c.found);
    EXPECT_EQ(name, c.user);
}

INSTANTIATE_TEST_SUITE_P(
    GetConsoleUserName, ConsoleUserOnABus,
    testing::Values(SeatCase{"ActiveSeatSession", true, {"3", "/org/freedesktop/login1/session/_33", "alice"}, true,
                             L"alice"},
                    SeatCase{"NoActiveSession", true, {"", "/", ""}, false, L"before"},
                    SeatCase{"BusWithoutLogind", false, {}, false, L"before"}),
    [](const testing::TestParamInfo<SeatCase>& info) { return info.param.name; });

TEST(GetConsoleUserName, NoBusAtAllIsFalse) {
    testsupport::TempDir dir;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.File("no-bus")).c_str(), 1);
    std::wstring name = L"before";
    EXPECT_FALSE(Utils::GetConsoleUserName(name));
    EXPECT_EQ(name, L"before");
}

TEST(GetConsoleUserName, ALogindThatNeverAnswersGivesUpAfterItsTimeOut) {
    PrivateBus bus;
    ASSERT_TRUE(bus.ready());
    FakeLogind logind(bus.address(), {"3", "/org/freedesktop/login1/session/_33", "alice"}, false);
    ASSERT_TRUE(logind.ok());
    std::wstring name = L"before";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Utils::GetConsoleUserName(name));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms) << "it waited for an answer";
    EXPECT_EQ(name, L"before");
}

}  // namespace
