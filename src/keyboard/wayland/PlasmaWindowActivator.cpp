#include "keyboard/wayland/PlasmaWindowActivator.h"

#include <wayland-client.h>

#include <cstdio>
#include <vector>

#include "keyboard/Cp1252.h"
#include "keyboard/TitleMatch.h"
#include "plasma-window-management-client-protocol.h"

namespace kest::wayland {

namespace {

// Version 4 has the window list, titles and states; KWin sends later events all the
// same, so every one has a handler.
constexpr std::uint32_t kVersion = 4;

struct Window {
    org_kde_plasma_window* handle = nullptr;
    std::u32string title;
    bool unmapped = false;
};

// KWin's windows as it describes them right after the bind. The list lives only for
// one activation: bound for good it would stream every change of every window to a
// program that reads it only when a text comes in.
struct WindowList {
    org_kde_plasma_window_management* manager = nullptr;
    std::vector<std::uint32_t> ids;
    std::vector<std::unique_ptr<Window>> windows;

    ~WindowList() {
        for (auto& w : windows) org_kde_plasma_window_destroy(w->handle);
        if (manager) wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
    }
};

void onTitle(void* data, org_kde_plasma_window*, const char* title) {
    static_cast<Window*>(data)->title = utf8ToUnicode(title);
}
void onUnmapped(void* data, org_kde_plasma_window*) {
    static_cast<Window*>(data)->unmapped = true;
}
void onText(void*, org_kde_plasma_window*, const char*) {}
void onTexts(void*, org_kde_plasma_window*, const char*, const char*) {}
void onNumber(void*, org_kde_plasma_window*, std::uint32_t) {}
void onInt(void*, org_kde_plasma_window*, std::int32_t) {}
void onNothing(void*, org_kde_plasma_window*) {}
void onParent(void*, org_kde_plasma_window*, org_kde_plasma_window*) {}
void onGeometry(void*, org_kde_plasma_window*, std::int32_t, std::int32_t, std::uint32_t,
                std::uint32_t) {}

const org_kde_plasma_window_listener kWindowListener{
    &onTitle,   &onText,   &onNumber,   &onInt,     &onText,   &onUnmapped,
    &onNothing, &onParent, &onGeometry, &onNothing, &onNumber, &onText,
    &onText,    &onTexts,  &onText,     &onText,    &onText};

void onShowDesktop(void*, org_kde_plasma_window_management*, std::uint32_t) {}
void onWindow(void* data, org_kde_plasma_window_management*, std::uint32_t id) {
    static_cast<WindowList*>(data)->ids.push_back(id);
}
void onStacking(void*, org_kde_plasma_window_management*, wl_array*) {}
void onStackingUuids(void*, org_kde_plasma_window_management*, const char*) {}
void onWindowWithUuid(void*, org_kde_plasma_window_management*, std::uint32_t, const char*) {}

const org_kde_plasma_window_management_listener kManagerListener{
    &onShowDesktop, &onWindow, &onStacking, &onStackingUuids, &onWindowWithUuid};

// KWin shows every title with its runs of blanks made one and none at either end
// (a Qt program's "Keyboard   V1.2N" is "Keyboard V1.2N" there); a title asked for is
// read the same way, or it could never match.
std::u32string simplified(const std::string& title) {
    std::u32string out;
    for (unsigned char c : title) {
        const char32_t u = cp1252ToUnicode(c);
        const bool blank = u == U' ' || u == U'\t' || u == U'\n' || u == U'\r' || u == 0xA0;
        if (blank) {
            if (!out.empty() && out.back() != U' ') out.push_back(U' ');
        } else {
            out.push_back(u);
        }
    }
    if (!out.empty() && out.back() == U' ') out.pop_back();
    return out;
}

std::unique_ptr<WaylandConnection> connectForWindows(const char* displayName) {
    auto connection = std::make_unique<WaylandConnection>(displayName);
    if (!connection->offers(org_kde_plasma_window_management_interface)) {
        throw DeviceError(
            "KWin does not offer its window list to this program "
            "(org_kde_plasma_window_management)");
    }
    return connection;
}

}  // namespace

PlasmaWindowActivator::PlasmaWindowActivator(const char* displayName)
    : displayName_(displayName ? displayName : ""),
      hasDisplayName_(displayName != nullptr),
      connection_(connectForWindows(displayName)) {}

bool PlasmaWindowActivator::activate(const std::string& title) {
    return find(title, true).value_or(false);
}

std::optional<bool> PlasmaWindowActivator::windowExists(const std::string& title) {
    return find(title, false);
}

std::optional<bool> PlasmaWindowActivator::find(const std::string& title, bool activate) {
    const std::u32string wanted = simplified(title);
    try {
        if (!connection_)
            connection_ = connectForWindows(hasDisplayName_ ? displayName_.c_str() : nullptr);
        WaylandConnection& wl = *connection_;
        WindowList list;
        list.manager = static_cast<org_kde_plasma_window_management*>(
            wl.bind(org_kde_plasma_window_management_interface, kVersion));
        if (!list.manager) return std::nullopt;
        org_kde_plasma_window_management_add_listener(list.manager, &kManagerListener, &list);
        wl.roundtrip();  // every window's id
        for (std::uint32_t id : list.ids) {
            list.windows.push_back(std::make_unique<Window>());
            Window& w = *list.windows.back();
            w.handle = org_kde_plasma_window_management_get_window(list.manager, id);
            org_kde_plasma_window_add_listener(w.handle, &kWindowListener, &w);
        }
        wl.roundtrip();  // their titles
        std::vector<std::u32string> titles;
        std::vector<Window*> mapped;
        for (auto& w : list.windows) {
            if (w->unmapped) continue;
            titles.push_back(w->title);
            mapped.push_back(w.get());
        }
        const auto chosen = matchTitle(wanted, titles);
        if (!chosen || !activate) return chosen.has_value();
        const std::uint32_t flags = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE |
                                    ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED;
        org_kde_plasma_window_set_state(mapped[*chosen]->handle, flags,
                                        ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
        // Keys typed after this go to the window that now has the focus.
        wl.roundtrip();
        return true;
    } catch (const DeviceError& e) {
        std::fprintf(stderr, "kest: window activation: %s\n", e.what());
        connection_.reset();
        return std::nullopt;
    }
}

}  // namespace kest::wayland
