// hexora-test-namespace <program> [arguments...]
//
// Runs a test program in a process-id namespace of its own with a /proc of
// that namespace, so that the launcher's look at the running processes (and
// a test's own) sees only what the test started: another launcher or game on
// the machine, or another checkout's tests, no longer change a test's road.
//
//   - As root it makes a PID and a mount namespace; where that is refused it
//     makes them inside an unprivileged user namespace that maps the caller's
//     own user and group (so file ownership stays what it was).
//   - The namespace's first process mounts a fresh /proc, starts the program,
//     reaps every orphan handed to it and ends with the program's status; its
//     end (or this runner's, e.g. killed on a ctest timeout) ends every
//     process still left in the namespace.
//   - Where no namespace can be made, one line on standard error says why
//     and the program runs as it would without this runner.
//
// Exit status: the program's, 128 + the signal number when a signal ended it,
// 127 when it could not be run.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

volatile sig_atomic_t forwardTo = 0;

void forward(int number) {
    if (forwardTo > 0) ::kill(forwardTo, number);
}

void forwardQuitSignals(pid_t to) {
    forwardTo = to;
    struct sigaction action {};
    action.sa_handler = forward;
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) ::sigaction(number, &action, nullptr);
}

int exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

bool writeFile(const char* path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    file.close();
    return static_cast<bool>(file);
}

// The caller's user and group, mapped onto themselves in a new user namespace.
bool mapOwnIds(uid_t uid, gid_t gid) {
    return writeFile("/proc/self/setgroups", "deny") &&
           writeFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") &&
           writeFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n");
}

// Puts this process into new mount and user namespaces (as needed) and its
// future children into a new PID namespace. Empty on success, else why not.
std::string unshareNamespaces() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
        const std::string plain = std::strerror(errno);
        if (::unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNS) != 0)
            return "PID namespace refused (" + plain + "), also in a user namespace (" + std::strerror(errno) + ")";
        if (!mapOwnIds(uid, gid)) return "the user namespace's id maps could not be written";
    }
    // Mounts made here (the namespace's /proc) stay out of the machine's tree.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("the mounts could not be made private (") + std::strerror(errno) + ")";
    return {};
}

[[noreturn]] void runProgram(char** program) {
    ::execvp(program[0], program);
    std::fprintf(stderr, "hexora-test-namespace: cannot run %s: %s\n", program[0], std::strerror(errno));
    ::_exit(127);
}

void report(int channel, const std::string& text) {
    if (::write(channel, text.data(), text.size()) < 0) ::_exit(1);
}

int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return 1;
    }
    return exitCodeOf(status);
}

// The namespace's process 1: a fresh /proc, then the program as its child;
// reaps every process handed to it until the program ends. Reports "" on
// `channel` once the program runs, or why it cannot.
[[noreturn]] void runInit(char** program, int channel) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
        report(channel, std::string("no /proc of its own (") + std::strerror(errno) + ")");
        ::_exit(1);
    }
    const pid_t test = ::fork();
    if (test < 0) {
        report(channel, std::string("cannot start the program in it (") + std::strerror(errno) + ")");
        ::_exit(1);
    }
    if (test == 0) runProgram(program);
    forwardQuitSignals(test);
    ::close(channel);  // nothing written: the program runs
    int status = 0;
    for (;;) {
        int one = 0;
        const pid_t ended = ::wait(&one);
        if (ended == test) status = one;
        if (ended == test || (ended < 0 && errno != EINTR)) break;
    }
    ::_exit(exitCodeOf(status));
}

// In a child of the runner, so that the runner itself stays where it was
// and can still run the program there: the namespaces, then their process 1.
[[noreturn]] void runNamespace(char** program, int channel) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const std::string refused = unshareNamespaces();
    if (!refused.empty()) {
        report(channel, refused);
        ::_exit(1);
    }
    const pid_t init = ::fork();
    if (init < 0) {
        report(channel, std::string("cannot start its first process (") + std::strerror(errno) + ")");
        ::_exit(1);
    }
    if (init == 0) runInit(program, channel);
    ::close(channel);
    forwardQuitSignals(init);
    ::_exit(waitFor(init));
}

// What the namespace reported on `channel` until every writer closed it:
// empty when the program runs in it.
std::string readReport(int channel) {
    std::string text;
    char buffer[256];
    for (;;) {
        const ssize_t got = ::read(channel, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            return text;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: hexora-test-namespace <program> [arguments...]\n");
        return 2;
    }
    char** program = argv + 1;
    int channel[2];
    pid_t child = -1;
    std::string refused;
    if (::pipe2(channel, O_CLOEXEC) != 0) {
        refused = std::string("no pipe (") + std::strerror(errno) + ")";
    } else if ((child = ::fork()) < 0) {
        refused = std::string("no process for it (") + std::strerror(errno) + ")";
    } else if (child == 0) {
        ::close(channel[0]);
        runNamespace(program, channel[1]);
    } else {
        ::close(channel[1]);
        forwardQuitSignals(child);
        refused = readReport(channel[0]);
        ::close(channel[0]);
        if (refused.empty()) return waitFor(child);
        waitFor(child);
    }
    std::fprintf(stderr, "hexora-test-namespace: no PID namespace: %s; the test sees every process of the machine\n",
                 refused.c_str());
    runProgram(program);
}
