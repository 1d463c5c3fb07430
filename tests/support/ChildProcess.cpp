#include "support/ChildProcess.hpp"

#include "support/InfoPlistText.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace hexora::test {

struct ChildProcess::State {
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<int> status;
};

struct ChildProcess::Start {
    std::filesystem::path program;
    std::vector<std::string> arguments;
    std::optional<Environment> environment;  // nullopt: the test's own
    std::filesystem::path workingDirectory;  // empty: the test's current folder
    std::filesystem::path logFile;           // empty: the test's own output
    int passedFd = -1;
};

namespace {

std::vector<std::string> environmentTexts(const std::optional<ChildProcess::Environment>& environment) {
    std::vector<std::string> texts;
    if (environment) {
        for (const auto& [name, value] : *environment) texts.push_back(name + "=" + value);
    } else {
        for (char** entry = environ; *entry; ++entry) texts.emplace_back(*entry);
    }
    return texts;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments) {
    start({executable, arguments, std::nullopt, {}, {}, -1});
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                           const Environment& environment, const std::filesystem::path& workingDirectory,
                           const std::filesystem::path& logFile, int passedFd)
    : logFile_(logFile) {
    start({program, arguments, environment, workingDirectory, logFile, passedFd});
}

void ChildProcess::start(const Start& how) {
    std::vector<std::string> argumentTexts{how.program.string()};
    argumentTexts.insert(argumentTexts.end(), how.arguments.begin(), how.arguments.end());
    auto argv = pointersTo(argumentTexts);
    auto environment = environmentTexts(how.environment);
    auto envp = pointersTo(environment);

    // fork and exec rather than posix_spawn: the child is to die with this
    // test (SIGKILL when the test's thread ends, also when ctest kills a test
    // that ran out of time), so no launcher, X server or stand-in outlives it.
    // Between fork and exec only async-signal-safe calls.
    //
    // The constructor returns once the child runs the program (or could not):
    // the write end of `started` closes on exec, so that a look at the
    // process table right after sees the program, not the forked test.
    int started[2];
    if (::pipe2(started, O_CLOEXEC) != 0) throw std::runtime_error("cannot start " + how.program.string() + ": no pipe");
    // Above the descriptors the child keeps (0 to 3), so that closing the
    // others can leave it open.
    const int startedFd = ::fcntl(started[1], F_DUPFD_CLOEXEC, 10);
    ::close(started[1]);
    if (startedFd < 0) {
        ::close(started[0]);
        throw std::runtime_error("cannot start " + how.program.string() + ": no pipe");
    }
    const pid_t parent = ::getpid();
    const int firstToClose = how.passedFd >= 0 ? 4 : 3;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(started[0]);
        ::close(startedFd);
        throw std::runtime_error("cannot start " + how.program.string() + ": fork failed");
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int input = ::open("/dev/null", O_RDONLY);
        if (input < 0 || ::dup2(input, 0) < 0) ::_exit(127);
        if (!how.logFile.empty()) {
            const int output = ::open(how.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (output < 0 || ::dup2(output, 1) < 0 || ::dup2(output, 2) < 0) ::_exit(127);
        }
        if (how.passedFd >= 0 && ::dup2(how.passedFd, 3) < 0) ::_exit(127);
        ::close_range(firstToClose, startedFd - 1, 0);
        ::close_range(startedFd + 1, ~0U, 0);
        if (!how.workingDirectory.empty() && ::chdir(how.workingDirectory.c_str()) != 0) ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int number = 1; number < NSIG; ++number) ::signal(number, SIG_DFL);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(startedFd);
    char ignored = 0;
    while (::read(started[0], &ignored, 1) < 0 && errno == EINTR) {
    }
    ::close(started[0]);
    pid_ = pid;
    state_ = std::make_shared<State>();
    // The waiter reaps the child as soon as it ends; it keeps the state alive
    // for as long as it needs it.
    std::thread([pid, state = state_] {
        int status = 0;
        pid_t reaped;
        while ((reaped = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(state->mutex);
        state->status = reaped == pid ? status : -1;  // -1: reaped elsewhere, its status is unknown
        state->ended.notify_all();
    }).detach();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : state_(std::move(other.state_)), pid_(other.pid_), logFile_(std::move(other.logFile_)) {
    other.pid_ = -1;
}

ChildProcess::~ChildProcess() { kill(); }

bool ChildProcess::running() const {
    if (!state_) return false;
    std::lock_guard lock(state_->mutex);
    return !state_->status;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds limit) const {
    if (!state_) return std::nullopt;
    std::unique_lock lock(state_->mutex);
    state_->ended.wait_for(lock, limit, [this] { return state_->status.has_value(); });
    return state_->status;
}

void ChildProcess::signal(int number) const {
    if (running()) ::kill(pid_, number);
}

void ChildProcess::terminate() const { signal(SIGTERM); }

void ChildProcess::kill() {
    if (!running()) return;
    ::kill(pid_, SIGKILL);
    std::unique_lock lock(state_->mutex);
    state_->ended.wait(lock, [this] { return state_->status.has_value(); });
}

std::string describeStatus(int status) {
    if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

ChildProcess::Environment environmentWith(const ChildProcess::Environment& changes) {
    ChildProcess::Environment environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value.empty()) environment.erase(name);
        else environment[name] = value;
    }
    return environment;
}

std::filesystem::path developerHubExecutable() {
    return std::filesystem::path(HEXORA_TOOLS_BIN_DIR) / "standin-app/DeveloperHub.app/Contents/MacOS/DeveloperHub";
}

std::filesystem::path launcherStandInExecutable() {
    return std::filesystem::path(HEXORA_TOOLS_BIN_DIR) / "standin-app/HexoraLauncher.app/Contents/MacOS/Hexora";
}

std::filesystem::path layOutStandIn(const std::filesystem::path& folder, const std::string& name,
                                    const std::string& executableName, const std::string& bundleIdentifier) {
    const auto contents = folder / (name + ".app") / "Contents";
    std::filesystem::create_directories(contents / "MacOS");
    const auto executable = contents / "MacOS" / executableName;
    std::filesystem::copy_file(developerHubExecutable(), executable,
                               std::filesystem::copy_options::overwrite_existing);
    PlistEntries entries = {{"CFBundleExecutable", executableName}};
    if (!bundleIdentifier.empty()) entries.emplace_back("CFBundleIdentifier", bundleIdentifier);
    std::ofstream(contents / "Info.plist", std::ios::binary | std::ios::trunc) << infoPlistXml(entries);
    return executable;
}

}  // namespace hexora::test
