#pragma once
// Starts executables as child processes and reports how each one ended.
//
// Contract of launch():
// - the child runs `executable` with argv[0] = the executable path followed by
//   `arguments`, in `workingDirectory`, with the caller's environment;
// - it inherits no open descriptor of the launcher beyond 0, 1 and 2, and
//   starts with the default signal dispositions and an empty signal mask;
// - every started child is waited for on a waiter thread of its own, so none
//   is left a zombie; when that wait ends, `onExit` (when given) is called on
//   that thread with the exit. The waiter thread outlives the call and the
//   launcher object; `onExit` must own what it uses. Once the process has
//   begun to end (ExitGate) `onExit` is no longer called.
//
// Thread: any thread may launch; install() is meant for process start and
// tests.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hexora::platform {

/// How a child ended.
struct ProcessExit {
    std::int32_t processIdentifier = 0;
    /// The exit code, or the signal number when `signalled`; -1 when the exit
    /// could not be learned (the child was reaped elsewhere).
    int status = -1;
    bool signalled = false;
};

class ProcessLauncher {
public:
    using ExitHandler = std::function<void(const ProcessExit&)>;

    struct Result {
        /// The child's id; 0 when it could not be started.
        std::int32_t processIdentifier = 0;
        /// False when the child had already ended when launch() returned.
        bool running = false;
        /// Why the start failed (empty on success).
        std::string error;
    };

    virtual ~ProcessLauncher() = default;

    virtual Result launch(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                          const std::filesystem::path& workingDirectory, ExitHandler onExit) = 0;

    /// The installed launcher; the posix_spawn one unless install() replaced it.
    static std::shared_ptr<ProcessLauncher> current();
    /// Replaces the process launcher; nullptr restores the posix_spawn one.
    static void install(std::shared_ptr<ProcessLauncher> launcher);
};

}  // namespace hexora::platform
