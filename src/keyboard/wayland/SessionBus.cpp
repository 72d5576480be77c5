#include "keyboard/wayland/SessionBus.h"

#include <cstdlib>
#include <cstring>

namespace kest::wayland {

namespace {

class Error {
  public:
    Error() { dbus_error_init(&error_); }
    ~Error() { dbus_error_free(&error_); }
    DBusError* get() { return &error_; }
    bool set() const { return dbus_error_is_set(&error_); }
    std::string text() const { return error_.message ? error_.message : "unknown error"; }

  private:
    DBusError error_;
};

void appendVariant(DBusMessageIter* dict, const char* key, int type, const char* signature,
                   const void* value) {
    DBusMessageIter entry, variant;
    dbus_message_iter_open_container(dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant);
    dbus_message_iter_append_basic(&variant, type, value);
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(dict, &entry);
}

}  // namespace

SessionBus::SessionBus() {
    // The address is read anew each time (libdbus's own session bus lookup keeps the
    // first one for the life of the process).
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        throw DeviceError("there is no session bus (DBUS_SESSION_BUS_ADDRESS)");
    Error error;
    connection_ = dbus_connection_open_private(address, error.get());
    if (!connection_) throw DeviceError("cannot reach the session bus (" + error.text() + ")");
    if (!dbus_bus_register(connection_, error.get())) {
        dbus_connection_close(connection_);
        dbus_connection_unref(connection_);
        throw DeviceError("cannot join the session bus (" + error.text() + ")");
    }
    drop();
    // libdbus would end the whole program when the bus goes away.
    dbus_connection_set_exit_on_disconnect(connection_, FALSE);
}

SessionBus::~SessionBus() {
    for (const Posted& p : posted_) dbus_pending_call_unref(p.call);
    dbus_connection_close(connection_);
    dbus_connection_unref(connection_);
}

bool SessionBus::hasOwner(const char* name) {
    Error error;
    const bool owned = dbus_bus_name_has_owner(connection_, name, error.get());
    return owned && !error.set();
}

bool SessionBus::reachable(const char* name) {
    if (hasOwner(name)) return true;
    try {
        Message reply = call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "ListActivatableNames");
        DBusMessageIter it, names;
        if (!dbus_message_iter_init(reply.get(), &it) ||
            dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY)
            return false;
        for (dbus_message_iter_recurse(&it, &names);
             dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING;
             dbus_message_iter_next(&names)) {
            const char* activatable = nullptr;
            dbus_message_iter_get_basic(&names, &activatable);
            if (activatable && std::strcmp(activatable, name) == 0) return true;
        }
    } catch (const DeviceError&) {
    }
    return false;
}

std::string SessionBus::uniqueName() const {
    const char* name = dbus_bus_get_unique_name(connection_);
    return name ? name : "";
}

Message SessionBus::call(const char* destination, const char* path, const char* interface,
                         const char* method, const std::function<void(DBusMessageIter*)>& args,
                         std::chrono::milliseconds timeout) {
    Message request(dbus_message_new_method_call(destination, path, interface, method));
    if (!request) throw DeviceError("out of memory for a D-Bus call");
    if (args) {
        DBusMessageIter it;
        dbus_message_iter_init_append(request.get(), &it);
        args(&it);
    }
    Error error;
    Message reply(dbus_connection_send_with_reply_and_block(connection_, request.get(),
                                                            int(timeout.count()), error.get()));
    if (!reply) {
        throw DeviceError(std::string(interface) + "." + method + " failed (" + error.text() + ")");
    }
    // A signal listened for may already be in the queue.
    if (!listening_) drop();
    return reply;
}

void SessionBus::post(const char* destination, const char* path, const char* interface,
                      const char* method, const std::function<void(DBusMessageIter*)>& args) {
    Message request(dbus_message_new_method_call(destination, path, interface, method));
    if (!request) throw DeviceError("out of memory for a D-Bus call");
    DBusMessageIter it;
    dbus_message_iter_init_append(request.get(), &it);
    args(&it);
    DBusPendingCall* call = nullptr;
    if (!dbus_connection_send_with_reply(connection_, request.get(), &call, 5000) || !call)
        throw DeviceError("the session bus went away");
    posted_.push_back({call, std::string(interface) + "." + method});
}

void SessionBus::waitForPosted(std::size_t left) {
    while (posted_.size() > left) {
        const Posted p = posted_.front();
        posted_.pop_front();
        dbus_pending_call_block(p.call);
        Message reply(dbus_pending_call_steal_reply(p.call));
        dbus_pending_call_unref(p.call);
        Error error;
        if (!reply || dbus_set_error_from_message(error.get(), reply.get()))
            throw DeviceError(p.name + " failed (" + (reply ? error.text() : "no reply") + ")");
    }
    drop();
}

// Messages that nobody here reads (the bus's NameAcquired, signals) stay in the
// connection's queue, and while any is there libdbus waits for a reply by polling
// without sleeping: each key would cost a busy core for as long as mutter takes.
void SessionBus::drop() {
    while (dbus_connection_get_dispatch_status(connection_) == DBUS_DISPATCH_DATA_REMAINS)
        dbus_connection_dispatch(connection_);
}

void SessionBus::listen(const std::string& path, const char* interface) {
    const std::string rule =
        "type='signal',interface='" + std::string(interface) + "',path='" + path + "'";
    Error error;
    listening_ = true;
    dbus_bus_add_match(connection_, rule.c_str(), error.get());
    if (error.set()) throw DeviceError("cannot listen on the session bus (" + error.text() + ")");
}

Message SessionBus::waitForSignal(const std::string& path, const char* member,
                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        while (Message m{dbus_connection_pop_message(connection_)}) {
            if (dbus_message_get_type(m.get()) == DBUS_MESSAGE_TYPE_SIGNAL &&
                dbus_message_has_path(m.get(), path.c_str()) &&
                dbus_message_has_member(m.get(), member)) {
                listening_ = false;
                return m;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return nullptr;
        if (!dbus_connection_read_write(connection_, int(std::min<long long>(left.count(), 200))))
            throw DeviceError("the session bus went away");
    }
}

void appendString(DBusMessageIter* it, const std::string& value) {
    const char* text = value.c_str();
    dbus_message_iter_append_basic(it, DBUS_TYPE_STRING, &text);
}

void appendObjectPath(DBusMessageIter* it, const std::string& value) {
    const char* text = value.c_str();
    dbus_message_iter_append_basic(it, DBUS_TYPE_OBJECT_PATH, &text);
}

void appendUint32(DBusMessageIter* it, std::uint32_t value) {
    dbus_uint32_t v = value;
    dbus_message_iter_append_basic(it, DBUS_TYPE_UINT32, &v);
}

void appendInt32(DBusMessageIter* it, std::int32_t value) {
    dbus_int32_t v = value;
    dbus_message_iter_append_basic(it, DBUS_TYPE_INT32, &v);
}

void appendBool(DBusMessageIter* it, bool value) {
    dbus_bool_t v = value ? TRUE : FALSE;
    dbus_message_iter_append_basic(it, DBUS_TYPE_BOOLEAN, &v);
}

void appendDictionary(DBusMessageIter* it,
                      const std::function<void(DBusMessageIter* dict)>& entries) {
    DBusMessageIter dict;
    dbus_message_iter_open_container(it, DBUS_TYPE_ARRAY, "{sv}", &dict);
    if (entries) entries(&dict);
    dbus_message_iter_close_container(it, &dict);
}

void appendEntry(DBusMessageIter* dict, const char* key, const std::string& value) {
    const char* text = value.c_str();
    appendVariant(dict, key, DBUS_TYPE_STRING, "s", &text);
}

void appendEntry(DBusMessageIter* dict, const char* key, std::uint32_t value) {
    dbus_uint32_t v = value;
    appendVariant(dict, key, DBUS_TYPE_UINT32, "u", &v);
}

std::string firstPath(DBusMessage* reply) {
    DBusMessageIter it;
    if (!dbus_message_iter_init(reply, &it)) return {};
    const int type = dbus_message_iter_get_arg_type(&it);
    if (type != DBUS_TYPE_OBJECT_PATH && type != DBUS_TYPE_STRING) return {};
    const char* value = nullptr;
    dbus_message_iter_get_basic(&it, &value);
    return value ? value : "";
}

std::uint32_t firstUint32(DBusMessage* reply) {
    DBusMessageIter it;
    if (!dbus_message_iter_init(reply, &it) ||
        dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_UINT32)
        return 0;
    dbus_uint32_t value = 0;
    dbus_message_iter_get_basic(&it, &value);
    return value;
}

std::string dictionaryString(DBusMessage* message, int argument, const char* key) {
    DBusMessageIter it;
    if (!dbus_message_iter_init(message, &it)) return {};
    for (int i = 0; i < argument; ++i) {
        if (!dbus_message_iter_next(&it)) return {};
    }
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return {};
    DBusMessageIter dict;
    for (dbus_message_iter_recurse(&it, &dict);
         dbus_message_iter_get_arg_type(&dict) == DBUS_TYPE_DICT_ENTRY;
         dbus_message_iter_next(&dict)) {
        DBusMessageIter entry, variant;
        dbus_message_iter_recurse(&dict, &entry);
        const char* name = nullptr;
        dbus_message_iter_get_basic(&entry, &name);
        if (!name || std::strcmp(name, key) != 0) continue;
        dbus_message_iter_next(&entry);
        dbus_message_iter_recurse(&entry, &variant);
        const int type = dbus_message_iter_get_arg_type(&variant);
        if (type != DBUS_TYPE_STRING && type != DBUS_TYPE_OBJECT_PATH) return {};
        const char* value = nullptr;
        dbus_message_iter_get_basic(&variant, &value);
        return value ? value : "";
    }
    return {};
}

}  // namespace kest::wayland
