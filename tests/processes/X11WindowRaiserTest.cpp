// Raising a process's windows on a real X server (Xvfb, no window manager).
#include "BundleFixture.hpp"
#include "platform/PosixProcessLauncher.hpp"
#include "platform/X11WindowRaiser.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <signal.h>
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

// An Xvfb of its own, on the first free display number from one derived from
// the test's id (a number whose socket or lock exists belongs to another server).
class VirtualDisplay {
public:
    // GCC 12 reports an overlapping copy inside std::string's inlined assignment
    // here, a known false positive of -Wrestrict (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    VirtualDisplay() {
        if (::access("/usr/bin/Xvfb", X_OK) != 0) return;
        int number = 200 + ::getpid() % 700;
        while (::access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0 ||
               ::access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0)
            ++number;
        name_ = ":" + std::to_string(number);
        const auto result = launcher_.launch("/usr/bin/Xvfb", {name_, "-nolisten", "tcp", "-screen", "0", "320x240x24"},
                                             "/", {});
        pid_ = result.processIdentifier;
        const auto socket = "/tmp/.X11-unix/X" + std::to_string(number);
        ready_ = pid_ > 0 && test::eventually([&] { return ::access(socket.c_str(), F_OK) == 0; }, 5.0);
    }
#pragma GCC diagnostic pop
    ~VirtualDisplay() {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
    }
    bool ready() const { return ready_; }
    const std::string& name() const { return name_; }

private:
    platform::PosixProcessLauncher launcher_;
    std::string name_;
    std::int32_t pid_ = 0;
    bool ready_ = false;
};

TEST(X11WindowRaiser, RaisesTheWindowsOfTheProcessOnly) {
    TestXlib x;
    ASSERT_NE(x.openDisplay, nullptr) << "libX11 is not loadable";
    VirtualDisplay server;
    if (!server.ready()) GTEST_SKIP() << "no Xvfb (scripts/install-deps.sh installs it)";
    test::ScopedEnv display("DISPLAY", server.name());

    Display* connection = x.openDisplay(server.name().c_str());
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
