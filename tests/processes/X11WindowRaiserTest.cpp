// Raising a process's windows on a real X server (Xvfb, no window manager).
#include "BundleFixture.hpp"
#include "platform/X11WindowRaiser.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TempDir.hpp"
#include "support/XvfbServer.hpp"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <unistd.h>

namespace hexora {
namespace {

// The libX11 calls the test makes itself, loaded at run time as the product does.
struct TestXlib {
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    template <typename T>
    T get(const char* name) const {
        return library ? reinterpret_cast<T>(dlsym(library, name)) : nullptr;
    }
    decltype(&XOpenDisplay) openDisplay = get<decltype(&XOpenDisplay)>("XOpenDisplay");
    decltype(&XCloseDisplay) closeDisplay = get<decltype(&XCloseDisplay)>("XCloseDisplay");
    decltype(&XCreateSimpleWindow) createWindow = get<decltype(&XCreateSimpleWindow)>("XCreateSimpleWindow");
    decltype(&XMapWindow) mapWindow = get<decltype(&XMapWindow)>("XMapWindow");
    decltype(&XInternAtom) internAtom = get<decltype(&XInternAtom)>("XInternAtom");
    decltype(&XChangeProperty) changeProperty = get<decltype(&XChangeProperty)>("XChangeProperty");
    decltype(&XQueryTree) queryTree = get<decltype(&XQueryTree)>("XQueryTree");
    decltype(&XFree) free = get<decltype(&XFree)>("XFree");
    decltype(&XSync) sync = get<decltype(&XSync)>("XSync");
};

TEST(X11WindowRaiser, RaisesTheWindowsOfTheProcessOnly) {
    TestXlib x;
    ASSERT_NE(x.openDisplay, nullptr) << "libX11 is not loadable";
    if (::access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "no Xvfb (scripts/install-deps.sh installs it)";
    const test::XvfbServer server;
    ASSERT_TRUE(server.available()) << "Xvfb did not come up";
    test::ScopedEnv display("DISPLAY", server.display());

    Display* connection = x.openDisplay(server.display().c_str());
    ASSERT_NE(connection, nullptr);
    const Window root = DefaultRootWindow(connection);
    const Atom pidAtom = x.internAtom(connection, "_NET_WM_PID", False);
    // Two windows: ours (this process's id) first, then another process's
    // above it.
    const auto makeWindow = [&](unsigned long pid) {
        const Window window = x.createWindow(connection, root, 0, 0, 100, 100, 0, 0, 0);
        x.changeProperty(connection, window, pidAtom, XA_CARDINAL, 32, PropModeReplace,
                         reinterpret_cast<const unsigned char*>(&pid), 1);
        x.mapWindow(connection, window);
        return window;
    };
    const Window ours = makeWindow(static_cast<unsigned long>(::getpid()));
    const Window other = makeWindow(999999);
    x.sync(connection, False);
    const auto topmost = [&] {
        Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        x.queryTree(connection, root, &rootReturn, &parent, &children, &count);
        const Window top = count ? children[count - 1] : 0;
        if (children) x.free(children);
        return top;
    };
    ASSERT_EQ(topmost(), other);

    EXPECT_FALSE(platform::X11WindowRaiser::raiseWindowsOf(424242)) << "a process without windows";
    EXPECT_EQ(topmost(), other);
    EXPECT_TRUE(platform::X11WindowRaiser::raiseWindowsOf(::getpid()));
    x.sync(connection, False);
    EXPECT_EQ(topmost(), ours);
    x.closeDisplay(connection);
}

}  // namespace
}  // namespace hexora
