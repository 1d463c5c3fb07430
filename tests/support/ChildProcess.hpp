#pragma once
// A program run as a child of the test: a stand-in application, the sample
// game, the launcher bundle of an end-to-end test, a tool. It runs with the
// test's environment and folder, or with an environment of its own (nothing
// inherited) in a given folder with its output going to a log file. Only
// standard input (/dev/null), output and error, and one descriptor the test
// chooses, are passed on. It is started by fork and exec, not through the
// process launcher seam, so no fake launcher installed sees it.
//
// A thread of its own waits for the child's end and reaps it at once, so the
// process table no longer lists it once running() turns false. Destruction
// kills a child that still runs and waits for its end. The child also gets
// SIGKILL when the thread that started it ends (a test killed on timeout), so
// that nothing a test started outlives it.
//
// Thread: construction, kill() and destruction on the test's thread; pid(),
// running(), waitForExit() and signal() from any thread.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hexora::test {

class ChildProcess {
public:
    using Environment = std::map<std::string, std::string>;

    /// Starts `executable` with `arguments` in the test's current folder, with
    /// the test's environment (set what it reads with ScopedEnv first) and
    /// output. Throws std::runtime_error when it cannot fork (a program that
    /// cannot be run ends at once with status 127).
    explicit ChildProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments = {});
    /// Starts `program` with `arguments` and only `environment`, in
    /// `workingDirectory`; standard output and error go to `logFile`
    /// (appended). `passedFd`, when not -1, is the child's descriptor 3.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const Environment& environment, const std::filesystem::path& workingDirectory,
                 const std::filesystem::path& logFile, int passedFd = -1);
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess& operator=(ChildProcess&&) = delete;

    std::int32_t pid() const { return pid_; }
    /// True until the process has ended (and was reaped).
    bool running() const;
    /// Waits up to `limit` of real time for the end; the exit status as from
    /// waitpid, or nothing while it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    /// Sends signal `number` while the process runs.
    void signal(int number) const;
    /// Sends SIGTERM (the stand-ins then quit with 0).
    void terminate() const;
    /// SIGKILL, and waits for the end.
    void kill();
    /// The log file given, or empty.
    const std::filesystem::path& logFile() const { return logFile_; }

private:
    struct State;
    struct Start;
    void start(const Start& how);

    std::shared_ptr<State> state_;
    std::int32_t pid_ = -1;
    std::filesystem::path logFile_;
};

/// A readable account of a waitpid status ("exit 0", "signal 9").
std::string describeStatus(int status);

/// The test's own environment with `changes` (an entry with an empty value
/// removes the variable).
ChildProcess::Environment environmentWith(const ChildProcess::Environment& changes);

/// Where the stand-ins of tools/standin-app are built.
std::filesystem::path developerHubExecutable();
std::filesystem::path launcherStandInExecutable();

/// Lays out a copy of the stand-in program as `folder`/`name`.app with the
/// executable Contents/MacOS/`executableName` and an Info.plist with
/// `bundleIdentifier` (none when empty); returns the executable's path.
std::filesystem::path layOutStandIn(const std::filesystem::path& folder, const std::string& name,
                                    const std::string& executableName, const std::string& bundleIdentifier);

}  // namespace hexora::test
