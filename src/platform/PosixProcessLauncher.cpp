#include "platform/PosixProcessLauncher.hpp"

#include "platform/ExitGate.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

extern char** environ;

namespace hexora::platform {
namespace {

// The posix_spawn attribute and action objects, released on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        actionsReady_ = posix_spawn_file_actions_init(&actions_) == 0;
        attributesReady_ = posix_spawnattr_init(&attributes_) == 0;
    }
    ~SpawnSetup() {
        if (actionsReady_) posix_spawn_file_actions_destroy(&actions_);
        if (attributesReady_) posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    /// 0 or the errno of the first step that failed.
    int prepare(const std::filesystem::path& workingDirectory) {
        if (!actionsReady_ || !attributesReady_) return ENOMEM;
        if (int rc = posix_spawn_file_actions_addchdir_np(&actions_, workingDirectory.c_str())) return rc;
        if (int rc = posix_spawn_file_actions_addclosefrom_np(&actions_, 3)) return rc;
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        if (int rc = posix_spawnattr_setsigmask(&attributes_, &none)) return rc;
        if (int rc = posix_spawnattr_setsigdefault(&attributes_, &all)) return rc;
        return posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
    bool actionsReady_ = false;
    bool attributesReady_ = false;
};

ProcessExit waitForExit(pid_t pid) {
    ProcessExit exit;
    exit.processIdentifier = static_cast<std::int32_t>(pid);
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited == -1 && errno == EINTR);
    if (waited != pid) return exit;  // reaped elsewhere (e.g. SIGCHLD ignored)
    if (WIFEXITED(status)) {
        exit.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        exit.status = WTERMSIG(status);
        exit.signalled = true;
    }
    return exit;
}

}  // namespace

ProcessLauncher::Result PosixProcessLauncher::launch(const std::filesystem::path& executable,
                                                     const std::vector<std::string>& arguments,
                                                     const std::filesystem::path& workingDirectory,
                                                     ExitHandler onExit) {
    Result result;
    SpawnSetup setup;
    if (int rc = setup.prepare(workingDirectory)) {
        result.error = "cannot prepare the start of " + executable.string() + ": " + std::strerror(rc);
        return result;
    }

    std::vector<std::string> argvText;
    argvText.reserve(arguments.size() + 1);
    argvText.push_back(executable.string());
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& text : argvText) argv.push_back(text.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    // glibc reports failures of chdir and exec in the child as the result.
    const int rc = ::posix_spawn(&pid, executable.c_str(), setup.actions(), setup.attributes(), argv.data(), environ);
    if (rc != 0) {
        result.error = "cannot start " + executable.string() + " in " + workingDirectory.string() + ": " +
                       std::strerror(rc);
        return result;
    }

    auto ended = std::make_shared<std::atomic<bool>>(false);
    try {
        std::thread([pid, ended, onExit = std::move(onExit)] {
            const auto exit = waitForExit(pid);
            ended->store(true);
            // A child may outlive the launcher: once the process ends, its
            // waiter only reaps it and reports to no one.
            if (onExit) ExitGate::runUnlessClosed([&] { onExit(exit); });
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child runs all the same, unwatched.
    }

    result.processIdentifier = static_cast<std::int32_t>(pid);
    result.running = !ended->load();
    return result;
}

}  // namespace hexora::platform
