#include "e2e/WindowClose.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <functional>

namespace hexora::e2e {
namespace {

bool windowPid(Display* display, Window window, Atom pidAtom, long& pid) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const bool read = XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                                         &remaining, &data) == Success &&
                      data && count == 1 && format == 32;
    if (read) pid = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return read;
}

void forEachWindow(Display* display, Window parent, const std::function<void(Window)>& visit) {
    Window root = 0, parentOut = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &parentOut, &children, &count)) return;
    for (unsigned int index = 0; index < count; ++index) {
        visit(children[index]);
        forEachWindow(display, children[index], visit);
    }
    if (children) XFree(children);
}

}  // namespace

bool closeWindowsOf(const std::string& displayName, pid_t pid) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (!display) return false;
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    bool asked = false;
    forEachWindow(display, DefaultRootWindow(display), [&](Window window) {
        long owner = 0;
        if (!windowPid(display, window, pidAtom, owner) || owner != pid) return;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        asked = true;
    });
    XFlush(display);
    XCloseDisplay(display);
    return asked;
}

}  // namespace hexora::e2e
