#pragma once
// A private connection to the user's D-Bus session bus, for what the desktops offer
// there (GNOME's remote desktop, the desktop portal, KDE's keyboard layouts): method
// calls that wait for their reply, and waiting for one signal. libdbus, blocking,
// on the program's one thread.

#include <dbus/dbus.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "keyboard/wayland/WaylandConnection.h"  // DeviceError

namespace kest::wayland {

struct MessageDeleter {
    void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageDeleter>;

class SessionBus {
  public:
    // Throws DeviceError when there is no session bus.
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Whether a program owns the name now.
    bool hasOwner(const char* name);
    // Whether the name is owned or the bus starts its program when it is called.
    bool reachable(const char* name);
    // The connection's unique name (":1.42").
    std::string uniqueName() const;

    // Calls a method and waits for its reply; args appends the arguments. Throws
    // DeviceError with the error's text when the call fails or the bus is gone.
    Message call(const char* destination, const char* path, const char* interface,
                 const char* method, const std::function<void(DBusMessageIter*)>& args = {},
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Sends a method call without waiting for its reply; waitForPosted waits for replies.
    void post(const char* destination, const char* path, const char* interface, const char* method,
              const std::function<void(DBusMessageIter*)>& args);
    // Waits until at most `left` posted calls have no reply yet. Throws DeviceError when
    // one of them failed or the bus is gone.
    void waitForPosted(std::size_t left = 0);

    // Listens for signals of interface on path from now on.
    void listen(const std::string& path, const char* interface);
    // Waits for a signal named member on path; nullptr when none came in time. Throws
    // DeviceError when the bus is gone.
    Message waitForSignal(const std::string& path, const char* member,
                          std::chrono::milliseconds timeout);

  private:
    void drop();

    DBusConnection* connection_ = nullptr;
    bool listening_ = false;
    struct Posted {
        DBusPendingCall* call;
        std::string name;
    };
    std::deque<Posted> posted_;
};

// Argument helpers.
void appendString(DBusMessageIter* it, const std::string& value);
void appendObjectPath(DBusMessageIter* it, const std::string& value);
void appendUint32(DBusMessageIter* it, std::uint32_t value);
void appendInt32(DBusMessageIter* it, std::int32_t value);
void appendBool(DBusMessageIter* it, bool value);
// An a{sv} dictionary; entries adds its entries through the entry helpers below.
void appendDictionary(DBusMessageIter* it,
                      const std::function<void(DBusMessageIter* dict)>& entries = {});
void appendEntry(DBusMessageIter* dict, const char* key, const std::string& value);
void appendEntry(DBusMessageIter* dict, const char* key, std::uint32_t value);

// The first argument of a reply as an object path, string or unsigned number; empty
// or 0 when it is of another type.
std::string firstPath(DBusMessage* reply);
std::uint32_t firstUint32(DBusMessage* reply);
// A string (or object path) entry of an a{sv} at the argument index; empty if absent.
std::string dictionaryString(DBusMessage* message, int argument, const char* key);

}  // namespace kest::wayland
