#include "platform/X11WindowRaiser.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace hexora::platform::X11WindowRaiser {
namespace {

// The few libX11 entry points used here, resolved at run time.
struct Xlib {
    decltype(&XOpenDisplay) openDisplay = nullptr;
    decltype(&XCloseDisplay) closeDisplay = nullptr;
    decltype(&XInternAtom) internAtom = nullptr;
    decltype(&XGetWindowProperty) getWindowProperty = nullptr;
    decltype(&XQueryTree) queryTree = nullptr;
    decltype(&XFree) free = nullptr;
    decltype(&XSendEvent) sendEvent = nullptr;
    decltype(&XRaiseWindow) raiseWindow = nullptr;
    decltype(&XFlush) flush = nullptr;
    decltype(&XSync) sync = nullptr;
    decltype(&XSetErrorHandler) setErrorHandler = nullptr;
    bool loaded = false;
};

template <typename T>
bool resolve(void* library, const char* name, T& slot) {
    slot = reinterpret_cast<T>(dlsym(library, name));
    return slot != nullptr;
}

const Xlib& xlib() {
    static Xlib lib;
    static std::once_flag once;
    std::call_once(once, [] {
        void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (!library) return;
        lib.loaded = resolve(library, "XOpenDisplay", lib.openDisplay) &&
                     resolve(library, "XCloseDisplay", lib.closeDisplay) &&
                     resolve(library, "XInternAtom", lib.internAtom) &&
                     resolve(library, "XGetWindowProperty", lib.getWindowProperty) &&
                     resolve(library, "XQueryTree", lib.queryTree) && resolve(library, "XFree", lib.free) &&
                     resolve(library, "XSendEvent", lib.sendEvent) &&
                     resolve(library, "XRaiseWindow", lib.raiseWindow) && resolve(library, "XFlush", lib.flush) &&
                     resolve(library, "XSync", lib.sync) &&
                     resolve(library, "XSetErrorHandler", lib.setErrorHandler);
    });
    return lib;
}

// A window may vanish between listing and reading it; such errors are expected
// and must not reach Xlib's default handler, which ends the process.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

std::vector<unsigned long> cardinalList(const Xlib& x, Display* display, Window window, Atom property, Atom type) {
    Atom actualType = 0;
    int actualFormat = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (x.getWindowProperty(display, window, property, 0, 65536, False, type, &actualType, &actualFormat, &count,
                            &remaining, &data) == Success &&
        data && actualFormat == 32) {
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data) x.free(data);
    return values;
}

// The top-level client windows: the window manager's client list when it
// keeps one, else the root's children.
std::vector<Window> clientWindows(const Xlib& x, Display* display, Window root) {
    const Atom clientList = x.internAtom(display, "_NET_CLIENT_LIST", False);
    std::vector<Window> windows;
    for (auto value : cardinalList(x, display, root, clientList, XA_WINDOW)) windows.push_back(value);
    if (!windows.empty()) return windows;
    Window rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (x.queryTree(display, root, &rootReturn, &parent, &children, &count) && children) {
        windows.assign(children, children + count);
        x.free(children);
    }
    return windows;
}

void requestActive(const Xlib& x, Display* display, Window root, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = x.internAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;  // source: a pager, so focus-stealing prevention lets it through
    event.xclient.data.l[1] = CurrentTime;
    x.sendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    x.raiseWindow(display, window);
}

}  // namespace

bool raiseWindowsOf(std::int32_t processIdentifier) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name || processIdentifier <= 0) return false;
    const auto& x = xlib();
    if (!x.loaded) return false;
    Display* display = x.openDisplay(name);
    if (!display) return false;

    static std::mutex handlerMutex;  // the error handler is process-wide
    std::lock_guard lock(handlerMutex);
    auto previous = x.setErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    const Atom pidAtom = x.internAtom(display, "_NET_WM_PID", False);
    bool raised = false;
    for (Window window : clientWindows(x, display, root)) {
        const auto pid = cardinalList(x, display, window, pidAtom, XA_CARDINAL);
        if (pid.empty() || static_cast<long>(pid.front()) != processIdentifier) continue;
        requestActive(x, display, root, window);
        raised = true;
    }
    x.sync(display, False);
    x.setErrorHandler(previous);
    x.closeDisplay(display);
    return raised;
}

}  // namespace hexora::platform::X11WindowRaiser
