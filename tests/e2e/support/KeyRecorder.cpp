// kest_key_recorder: a window that logs every key event it receives, for the
// end-to-end tests. One line per event, flushed at once:
//   ready                                  once shown (and, unless --no-focus, focused)
//   keymap                                 for each keymap (XkbMapNotify) notification
//   press kc=38 sym=0x61 state=0x0 text=61 (text: the UTF-8 the event types, in hex)
//   release kc=38 sym=0x61 state=0x0
// Usage: kest_key_recorder TITLE [--no-focus] (without it, it takes the focus at start).

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <clocale>
#include <cstdio>
#include <cstring>

namespace {

Window createWindow(Display* d, const char* title) {
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 300, 100, 0, 0, 0xFFFFFF);
    XSelectInput(
        d, w, KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask | ExposureMask);
    Xutf8SetWMProperties(d, w, title, title, nullptr, 0, nullptr, nullptr, nullptr);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(d, w, &hints);
    XMapRaised(d, w);
    return w;
}

void logKey(XIC ic, XKeyEvent& e) {
    char text[64] = {};
    KeySym sym = NoSymbol;
    int n = 0;
    if (e.type == KeyPress) {
        Status status = 0;
        n = Xutf8LookupString(ic, &e, text, sizeof text - 1, &sym, &status);
        if (status != XLookupChars && status != XLookupBoth) n = 0;
        if (status == XLookupChars || status == XLookupNone) sym = NoSymbol;
    } else {
        XLookupString(&e, text, sizeof text - 1, &sym, nullptr);
    }
    std::printf("%s kc=%u sym=0x%lx state=0x%x", e.type == KeyPress ? "press" : "release",
                e.keycode, sym, e.state);
    if (e.type == KeyPress) {
        std::printf(" text=");
        for (int i = 0; i < n && n > 0; ++i)
            std::printf("%02x", static_cast<unsigned char>(text[i]));
    }
    std::printf("\n");
    std::fflush(stdout);
}

// Focus requests race with the window manager mapping our frame; a refused one
// (BadMatch while not yet viewable) is simply asked again at the next Expose.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    XSetLocaleModifiers("@im=none");
    if (argc < 2) {
        std::fprintf(stderr, "usage: kest_key_recorder TITLE [--no-focus]\n");
        return 2;
    }
    const bool takeFocus = !(argc > 2 && std::strcmp(argv[2], "--no-focus") == 0);
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "kest_key_recorder: cannot open display\n");
        return 1;
    }
    XSetErrorHandler(ignoreError);
    int xkbEventBase = 0, xkbError = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    int opcode = 0;
    if (!XkbQueryExtension(d, &opcode, &xkbEventBase, &xkbError, &major, &minor)) {
        std::fprintf(stderr, "kest_key_recorder: no XKEYBOARD extension\n");
        return 1;
    }
    const unsigned mapEvents = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
    XkbSelectEvents(d, XkbUseCoreKbd, mapEvents, mapEvents);
    XIM im = XOpenIM(d, nullptr, nullptr, nullptr);
    const Window w = createWindow(d, argv[1]);
    XIC ic = im ? XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                            w, XNFocusWindow, w, nullptr)
                : nullptr;
    if (!ic) {
        std::fprintf(stderr, "kest_key_recorder: no input context in this locale\n");
        return 1;
    }
    bool ready = false;
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
        if ((e.type == MapNotify || e.type == Expose) && takeFocus && !ready) {
            XSetInputFocus(d, w, RevertToParent, CurrentTime);
        } else if (!ready &&
                   (e.type == MapNotify || (e.type == FocusIn && e.xfocus.mode == NotifyNormal))) {
            ready = true;
            std::printf("ready\n");
        } else if (e.type == KeyPress || e.type == KeyRelease) {
            logKey(ic, e.xkey);
        } else if (e.type == xkbEventBase) {
            // Keymap changes are taken in event order: a key event is looked up in the
            // keymap of its moment, as a program that keeps up with its queue sees it.
            auto* xkb = reinterpret_cast<XkbEvent*>(&e);
            XkbRefreshKeyboardMapping(&xkb->map);
            if (xkb->any.xkb_type == XkbMapNotify) std::printf("keymap\n");
        }
        std::fflush(stdout);
    }
}
