#include "keyboard/x11/X11WindowActivator.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <thread>

#include "keyboard/Cp1252.h"
#include "keyboard/x11/XErrors.h"

namespace kest::x11 {

namespace {

std::u32string decodeUtf8(const unsigned char* s, std::size_t n) {
    std::u32string out;
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = s[i];
        const int extra = b < 0x80         ? 0
                          : (b >> 5) == 6  ? 1
                          : (b >> 4) == 14 ? 2
                          : (b >> 3) == 30 ? 3
                                           : -1;
        if (extra < 0 || i + std::size_t(extra) >= n) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        out.push_back(ok ? c : 0xFFFD);
        i += ok ? std::size_t(extra) + 1 : 1;
    }
    return out;
}

std::u32string decodeLatin1(const unsigned char* s, std::size_t n) {
    return std::u32string(s, s + n);
}

}  // namespace

X11WindowActivator::X11WindowActivator(const char* displayName) {
    installErrorHandler();
    display_ = XOpenDisplay(displayName);
    if (!display_) throw DeviceError("cannot open the X display to find windows on");
    netClientList_ = XInternAtom(display_, "_NET_CLIENT_LIST", False);
    netActiveWindow_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    netSupportingCheck_ = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    utf8String_ = XInternAtom(display_, "UTF8_STRING", False);
}

X11WindowActivator::~X11WindowActivator() {
    XCloseDisplay(display_);
}

bool X11WindowActivator::activate(const std::string& title) {
    const bool managed = windowManagerRuns();
    const auto window = find(title);
    if (!window) return false;
    focus(*window, managed);
    return true;
}

std::optional<bool> X11WindowActivator::windowExists(const std::string& title) {
    return find(title).has_value();
}

std::optional<Window> X11WindowActivator::find(const std::string& title) {
    std::u32string wanted;
    for (unsigned char c : title) wanted.push_back(cp1252ToUnicode(c));
    const std::vector<TopLevel> windows = topLevels();
    std::vector<std::u32string> titles;
    for (const TopLevel& w : windows) titles.push_back(w.title);
    const auto chosen = matchTitle(wanted, titles);
    if (!chosen) return std::nullopt;
    return windows[*chosen].window;
}

Window X11WindowActivator::windowProperty(Window on, Atom name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window found = None;
    if (XGetWindowProperty(display_, on, name, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &data) == Success &&
        data && count == 1 && format == 32) {
        found = *reinterpret_cast<Window*>(data);
    }
    if (data) XFree(data);
    return found;
}

bool X11WindowActivator::windowManagerRuns() {
    // A stale property from a window manager that has gone points at a dead window,
    // which then does not point back at itself.
    const Window check = windowProperty(DefaultRootWindow(display_), netSupportingCheck_);
    return check != None && windowProperty(check, netSupportingCheck_) == check;
}

std::vector<X11WindowActivator::TopLevel> X11WindowActivator::topLevels() {
    std::vector<TopLevel> result;
    const Window root = DefaultRootWindow(display_);
    if (windowManagerRuns()) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, root, netClientList_, 0, 4096, False, XA_WINDOW, &type,
                               &format, &count, &after, &data) == Success &&
            data && format == 32) {
            const Window* list = reinterpret_cast<Window*>(data);
            for (unsigned long i = 0; i < count; ++i) {
                if (auto t = titleOf(list[i])) result.push_back({list[i], *t});
            }
        }
        if (data) XFree(data);
        if (!result.empty()) return result;
    }
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, root, &rootReturn, &parent, &children, &count)) return result;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, children[i], &attributes) ||
            attributes.map_state != IsViewable || attributes.override_redirect) {
            continue;
        }
        if (auto named = namedWindowIn(children[i], 2)) {
            if (auto t = titleOf(*named)) result.push_back({*named, *t});
        }
    }
    if (children) XFree(children);
    return result;
}

// The window that carries the title: the window itself, or a child of a frame.
std::optional<Window> X11WindowActivator::namedWindowIn(Window frame, int depth) {
    if (titleOf(frame)) return frame;
    if (depth == 0) return std::nullopt;
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    std::optional<Window> found;
    if (XQueryTree(display_, frame, &rootReturn, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i)
            found = namedWindowIn(children[i], depth - 1);
    }
    if (children) XFree(children);
    return found;
}

std::optional<std::u32string> X11WindowActivator::titleOf(Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<std::u32string> title;
    if (XGetWindowProperty(display_, window, netWmName_, 0, 1024, False, utf8String_, &type,
                           &format, &count, &after, &data) == Success &&
        data && type == utf8String_ && format == 8) {
        title = decodeUtf8(data, count);
    }
    if (data) XFree(data);
    if (title) return title;

    XTextProperty name{};
    if (!XGetWMName(display_, window, &name) || !name.value) return std::nullopt;
    if (name.encoding == XA_STRING && name.format == 8) {
        title = decodeLatin1(name.value, name.nitems);
    } else if (name.encoding == utf8String_ && name.format == 8) {
        title = decodeUtf8(name.value, name.nitems);
    } else {
        char** list = nullptr;
        int n = 0;
        if (Xutf8TextPropertyToTextList(display_, &name, &list, &n) >= Success && n > 0) {
            const auto* text = reinterpret_cast<const unsigned char*>(list[0]);
            title = decodeUtf8(text, std::char_traits<char>::length(list[0]));
        }
        if (list) XFreeStringList(list);
    }
    XFree(name.value);
    return title;
}

void X11WindowActivator::focus(Window window, bool managed) {
    if (managed) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = netActiveWindow_;
        event.xclient.format = 32;
        // Source 2: a pager acting for the user, which window managers obey without
        // applying focus-stealing prevention.
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, DefaultRootWindow(display_), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XSync(display_, False);
        // The window manager moves the focus in its own time: keys typed before it has
        // would go to the window that still has it. A manager that never confirms
        // costs the bound once per activation, nothing more.
        const auto deadline = std::chrono::steady_clock::now() + kFocusWait;
        while (!(windowProperty(DefaultRootWindow(display_), netActiveWindow_) == window &&
                 hasFocus(window)) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return;
    }
    XRaiseWindow(display_, window);
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
}

bool X11WindowActivator::hasFocus(Window window) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    const Window root = DefaultRootWindow(display_);
    // The focus may sit on a child of the window: walk up to the root.
    for (int depth = 0; focus != None && focus != PointerRoot && focus != root && depth < 8;
         ++depth) {
        if (focus == window) return true;
        Window rootReturn = None, parent = None, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, focus, &rootReturn, &parent, &children, &count)) return false;
        if (children) XFree(children);
        focus = parent;
    }
    return false;
}

}  // namespace kest::x11
