#pragma once
// A program started by an end-to-end test: its own environment (nothing is
// inherited from the test), its output to a log file, and bounded waits for
// its end. Destruction kills and reaps it when it still runs; it also gets
// SIGKILL when the thread that started it ends (a test killed on timeout).
//
// Thread: the test thread only.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hexora::e2e {

class ChildProcess {
public:
    using Environment = std::map<std::string, std::string>;

    /// Starts `program` with `arguments` in `workingDirectory`; standard output
    /// and error go to `logFile`. No other descriptor of the test is passed on
    /// but `passedFd`, which the child gets as descriptor 3. Throws
    /// std::runtime_error when it cannot fork (a program that cannot be run
    /// ends at once with status 127).
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const Environment& environment, const std::filesystem::path& workingDirectory,
                 const std::filesystem::path& logFile, int passedFd = -1);
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess& operator=(ChildProcess&&) = delete;

    pid_t pid() const { return pid_; }
    /// True until the process has ended (and was reaped here).
    bool running();
    /// Waits up to `limit` for the end; the exit status as from waitpid, or
    /// nothing when it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds limit);
    void signal(int number) const;
    /// SIGKILL and reap.
    void kill();
    const std::filesystem::path& logFile() const { return logFile_; }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::filesystem::path logFile_;
};

/// A readable account of a waitpid status ("exit 0", "signal 9").
std::string describeStatus(int status);

}  // namespace hexora::e2e
