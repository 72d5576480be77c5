#include "keyboard/wayland/WaylandWindowActivator.h"

#include <wayland-client.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "keyboard/Cp1252.h"
#include "keyboard/TitleMatch.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace kest::wayland {

namespace {

struct Toplevel {
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    std::u32string title;
    bool closed = false;
};

// The list of toplevels as the compositor sends it when the manager is bound. The
// manager lives only for one activation: bound for good it would stream every title
// change of every window to a program that reads it only when a text comes in, and
// the compositor throws off a client that lets its events pile up.
struct ToplevelList {
    zwlr_foreign_toplevel_manager_v1* manager = nullptr;
    std::vector<std::unique_ptr<Toplevel>> toplevels;
    bool finished = false;

    ~ToplevelList() {
        for (auto& t : toplevels) zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
        if (manager) {
            if (!finished) zwlr_foreign_toplevel_manager_v1_stop(manager);
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
        }
    }
};

void onTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
    static_cast<Toplevel*>(data)->title = utf8ToUnicode(title);
}
void onAppId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void onOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void onState(void*, zwlr_foreign_toplevel_handle_v1*, wl_array*) {}
void onDone(void*, zwlr_foreign_toplevel_handle_v1*) {}
void onClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
    static_cast<Toplevel*>(data)->closed = true;
}
void onParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener{
    &onTitle, &onAppId, &onOutput, &onOutput, &onState, &onDone, &onClosed, &onParent};

void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                zwlr_foreign_toplevel_handle_v1* handle) {
    auto& list = *static_cast<ToplevelList*>(data);
    list.toplevels.push_back(std::make_unique<Toplevel>());
    list.toplevels.back()->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener,
                                                 list.toplevels.back().get());
}

void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    static_cast<ToplevelList*>(data)->finished = true;
}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener{&onToplevel, &onFinished};

std::unique_ptr<WaylandConnection> connectForWindows(const char* displayName) {
    auto connection = std::make_unique<WaylandConnection>(displayName);
    if (!connection->offers(zwlr_foreign_toplevel_manager_v1_interface)) {
        throw DeviceError(
            "the Wayland compositor offers no window list (zwlr_foreign_toplevel_manager_v1)");
    }
    if (!connection->seat()) throw DeviceError("the Wayland compositor has no seat");
    return connection;
}

bool activateIn(WaylandConnection& connection, const std::u32string& wanted) {
    ToplevelList list;
    list.manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        connection.bind(zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (!list.manager) return false;
    zwlr_foreign_toplevel_manager_v1_add_listener(list.manager, &kManagerListener, &list);
    // The compositor sends every toplevel with its title right after the bind.
    connection.roundtrip();
    std::vector<std::u32string> titles;
    std::vector<Toplevel*> open;
    for (auto& t : list.toplevels) {
        if (t->closed) continue;
        titles.push_back(t->title);
        open.push_back(t.get());
    }
    const auto chosen = matchTitle(wanted, titles);
    if (!chosen) return false;
    zwlr_foreign_toplevel_handle_v1_activate(open[*chosen]->handle, connection.seat());
    // Keys typed after this go to the window that now has the focus.
    connection.roundtrip();
    return true;
}

}  // namespace

WaylandWindowActivator::WaylandWindowActivator(const char* displayName)
    : displayName_(displayName ? displayName : ""),
      hasDisplayName_(displayName != nullptr),
      connection_(connectForWindows(displayName)) {}

bool WaylandWindowActivator::activate(const std::string& title) {
    std::u32string wanted;
    for (unsigned char c : title) wanted.push_back(cp1252ToUnicode(c));
    try {
        if (!connection_)
            connection_ = connectForWindows(hasDisplayName_ ? displayName_.c_str() : nullptr);
        return activateIn(*connection_, wanted);
    } catch (const DeviceError& e) {
        std::fprintf(stderr, "kest: window activation: %s\n", e.what());
        connection_.reset();
        return false;
    }
}

}  // namespace kest::wayland
