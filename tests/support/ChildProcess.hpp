#pragma once
// A program run as a child of the test, for tests that need a real second
// process (a stand-in application, the sample game). Started with the test's
// environment (set what it reads with ScopedEnv first) and the platform's
// posix_spawn launcher, independent of any fake launcher installed.
//
// The child is reaped by the launcher's waiter thread; hasExited() turns true
// once that happened, so /proc no longer lists it. Destruction kills a child
// that still runs and waits for it.
//
// Thread: the test's thread; hasExited() and waitForExit() from any thread.
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hexora::test {

class ChildProcess {
public:
    /// Starts `executable` with `arguments` in the current folder; throws
    /// std::runtime_error when it cannot be started.
    ChildProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    std::int32_t pid() const { return pid_; }
    /// Sends SIGTERM (the stand-ins then quit with 0).
    void terminate() const;
    /// True once the child has ended and been reaped.
    bool hasExited() const;
    /// Waits up to `seconds` of real time for the child to end; returns hasExited().
    bool waitForExit(double seconds = 10.0) const;

private:
    struct State {
        std::mutex mutex;
        std::condition_variable exited;
        bool done = false;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::int32_t pid_ = 0;
};

/// Where the stand-ins of tools/standin-app are built.
std::filesystem::path developerHubExecutable();
std::filesystem::path launcherStandInExecutable();

/// Lays out a copy of the stand-in program as `folder`/`name`.app with the
/// executable Contents/MacOS/`executableName` and an Info.plist with
/// `bundleIdentifier` (none when empty); returns the executable's path.
std::filesystem::path layOutStandIn(const std::filesystem::path& folder, const std::string& name,
                                    const std::string& executableName, const std::string& bundleIdentifier);

}  // namespace hexora::test
