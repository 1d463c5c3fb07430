#pragma once
// The launcher program run as a child process for a test (a ChildProcess):
// its own environment on top of the test's, standard output and error in a
// log file, signals, and waits with a real-time bound for a log line or for
// the exit.
#include "support/ChildProcess.hpp"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hexora::test {

class LauncherProcess {
public:
    /// Starts `executable` with `arguments` in the test's folder; `environment`
    /// entries replace or add to the test's own (an empty value removes the
    /// variable); `logFile` is emptied first. Throws std::runtime_error when it
    /// cannot fork (a program that cannot be run ends at once with 127).
    LauncherProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                    const std::map<std::string, std::string>& environment, std::filesystem::path logFile);
    /// Kills the process when it still runs.
    ~LauncherProcess() = default;
    LauncherProcess(const LauncherProcess&) = delete;
    LauncherProcess& operator=(const LauncherProcess&) = delete;

    /// Waits until the log holds `fragment`; false after `seconds` or when
    /// the process ended without writing it.
    bool waitForLog(const std::string& fragment, double seconds = 60);
    /// The log so far.
    std::string log() const;
    void sendSignal(int signal) const;
    /// The exit status once the process has ended (128 + n after signal n);
    /// nullopt when it still runs after `seconds`.
    std::optional<int> waitForExit(double seconds = 60);

private:
    std::filesystem::path logFile_;
    ChildProcess process_;
};

/// A local TCP port that refuses every connection: bound on 127.0.0.1 while
/// the object lives, never listening.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int port() const { return port_; }
    /// "https://127.0.0.1:<port>".
    std::string url() const;

private:
    int socket_ = -1;
    int port_ = 0;
};

}  // namespace hexora::test
