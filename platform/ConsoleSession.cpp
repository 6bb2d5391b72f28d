#include "platform/ConsoleSession.h"

#include <gio/gio.h>

#include <algorithm>
#include <memory>

#include "platform/TextCodec.h"

namespace platform {

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";

struct GObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
struct ContextUnref {
    void operator()(GMainContext* c) const { g_main_context_unref(c); }
};
using Connection = std::unique_ptr<GDBusConnection, GObjectUnref>;
using Variant = std::unique_ptr<GVariant, VariantUnref>;

class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds timeout) : end_(std::chrono::steady_clock::now() + timeout) {}
    // Milliseconds left, at least 1 so that a call still gets a bounded try.
    int LeftMs() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(1, left.count()));
    }

private:
    std::chrono::steady_clock::time_point end_;
};

// Connects to the system bus on a private context, cancelling the attempt
// when the deadline passes (a bus socket whose daemon never answers would
// otherwise block the handshake for ever).
Connection ConnectSystemBus(const Deadline& deadline) {
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
    if (address == nullptr) return nullptr;
    std::unique_ptr<GMainContext, ContextUnref> context(g_main_context_new());
    std::unique_ptr<GCancellable, GObjectUnref> cancel(g_cancellable_new());
    GAsyncResult* result = nullptr;
    g_main_context_push_thread_default(context.get());
    g_dbus_connection_new_for_address(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancel.get(),
        [](GObject*, GAsyncResult* res, gpointer out) {
            *static_cast<GAsyncResult**>(out) = G_ASYNC_RESULT(g_object_ref(res));
        },
        &result);
    GSource* timer = g_timeout_source_new(static_cast<guint>(deadline.LeftMs()));
    g_source_set_callback(
        timer,
        [](gpointer c) -> gboolean {
            g_cancellable_cancel(static_cast<GCancellable*>(c));
            return G_SOURCE_REMOVE;
        },
        cancel.get(), nullptr);
    g_source_attach(timer, context.get());
    while (result == nullptr) g_main_context_iteration(context.get(), TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
    g_main_context_pop_thread_default(context.get());
    g_free(address);
    Connection connection(g_dbus_connection_new_for_address_finish(result, nullptr));
    g_object_unref(result);
    return connection;
}

// Properties.Get(interface, property) on a logind object; the inner value.
Variant GetProperty(GDBusConnection* bus, const char* path, const char* interface, const char* property,
                    const Deadline& deadline) {
    GVariant* reply = g_dbus_connection_call_sync(bus, kLogind, path, "org.freedesktop.DBus.Properties", "Get",
                                                  g_variant_new("(ss)", interface, property),
                                                  G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                                  deadline.LeftMs(), nullptr, nullptr);
    if (reply == nullptr) return nullptr;
    GVariant* inner = nullptr;
    g_variant_get(reply, "(v)", &inner);
    g_variant_unref(reply);
    return Variant(inner);
}

}  // namespace

bool ActiveSeatUserName(std::wstring& name, std::chrono::milliseconds timeout) {
    const Deadline deadline(timeout);
    Connection bus = ConnectSystemBus(deadline);
    if (!bus) return false;
    bool found = false;
    Variant active = GetProperty(bus.get(), "/org/freedesktop/login1/seat/seat0", "org.freedesktop.login1.Seat",
                                 "ActiveSession", deadline);
    if (active && g_variant_is_of_type(active.get(), G_VARIANT_TYPE("(so)"))) {
        const gchar* id = nullptr;
        const gchar* path = nullptr;
        g_variant_get(active.get(), "(&s&o)", &id, &path);
        if (id[0] != '\0' && g_strcmp0(path, "/") != 0) {
            Variant user = GetProperty(bus.get(), path, "org.freedesktop.login1.Session", "Name", deadline);
            if (user && g_variant_is_of_type(user.get(), G_VARIANT_TYPE_STRING)) {
                name = FromNative(g_variant_get_string(user.get(), nullptr));
                found = true;
            }
        }
    }
    g_dbus_connection_close_sync(bus.get(), nullptr, nullptr);
    return found;
}

}  // namespace platform
