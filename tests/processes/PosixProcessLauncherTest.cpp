// Starting children with posix_spawn: arguments, working folder, exit
// reports, descriptors and reaping.
#include "BundleFixture.hpp"
#include "platform/ExitGate.hpp"
#include "platform/PosixProcessLauncher.hpp"
#include "support/Eventually.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>

namespace hexora {
namespace {

// Collects the exit report of one child; owned jointly with the waiter thread.
struct ExitBox {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<platform::ProcessExit> exit;

    static platform::ProcessLauncher::ExitHandler handlerFor(const std::shared_ptr<ExitBox>& box) {
        return [box](const platform::ProcessExit& exit) {
            std::lock_guard lock(box->mutex);
            box->exit = exit;
            box->changed.notify_all();
        };
    }
    std::optional<platform::ProcessExit> wait() {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return exit.has_value(); });
        return exit;
    }
};

platform::ProcessExit runShell(const std::string& script, const std::filesystem::path& workingDirectory,
                               const std::vector<std::string>& extra = {}) {
    auto box = std::make_shared<ExitBox>();
    std::vector<std::string> arguments{"-c", script, "sh"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    platform::PosixProcessLauncher launcher;
    const auto result = launcher.launch("/bin/sh", arguments, workingDirectory, ExitBox::handlerFor(box));
    EXPECT_GT(result.processIdentifier, 0) << result.error;
    const auto exit = box->wait();
    EXPECT_TRUE(exit.has_value());
    return exit.value_or(platform::ProcessExit{});
}

TEST(PosixProcessLauncher, ReportsExitCodeOrSignalToTheHandler) {
    test::TempDir dir;
    struct Case {
        const char* script;
        int status;
        bool signalled;
    };
    const Case cases[] = {
        {"exit 0", 0, false},
        {"exit 7", 7, false},
        {"kill -TERM $$", SIGTERM, true},
        {"kill -KILL $$", SIGKILL, true},
    };
    for (const auto& c : cases) {
        const auto exit = runShell(c.script, dir.path());
        EXPECT_EQ(exit.status, c.status) << c.script;
        EXPECT_EQ(exit.signalled, c.signalled) << c.script;
        EXPECT_GT(exit.processIdentifier, 0);
    }
}

TEST(PosixProcessLauncher, RunsInTheWorkingFolder) {
    test::TempDir dir;
    const auto folder = dir / "storage with blanks";
    std::filesystem::create_directories(folder);
    const auto out = dir / "out.txt";
    const auto exit = runShell("pwd > \"$1\"", folder, {out.string()});
    EXPECT_EQ(exit.status, 0);
    EXPECT_EQ(test::readFile(out), std::filesystem::canonical(folder).string() + "\n");
}

TEST(PosixProcessLauncher, ArgvIsTheExecutablePathThenTheArguments) {
    test::TempDir dir;
    const auto out = dir / "argv.txt";
    auto box = std::make_shared<ExitBox>();
    platform::PosixProcessLauncher launcher;
    // sh -c puts the words after the script into $0, $1, ...; printing them
    // shows exactly what reached the child.
    launcher.launch("/bin/sh", {"-c", "printf '%s|' \"$0\" \"$@\" > " + out.string(), "zero", "4242", "a b", ""},
                    dir.path(), ExitBox::handlerFor(box));
    ASSERT_TRUE(box->wait().has_value());
    EXPECT_EQ(test::readFile(out), "zero|4242|a b||");
}

// GCC 12 reports an overlapping copy inside std::string's inlined assignment
// here, a known false positive of -Wrestrict (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEST(PosixProcessLauncher, ChildInheritsNoDescriptorBeyondTheStandardThree) {
    test::TempDir dir;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);  // deliberately without close-on-exec
    const int file = ::open((dir / "held.txt").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(file, 0);
    const auto out = dir / "fds.txt";
    std::string script = "for n in 0 1 2";
    for (int fd : {fds[0], fds[1], file}) script += " " + std::to_string(fd);
    script += "; do if [ -e /proc/$$/fd/$n ]; then echo \"$n open\"; else echo \"$n closed\"; fi; done > \"$1\"";
    runShell(script, dir.path(), {out.string()});
    ::close(fds[0]);
    ::close(fds[1]);
    ::close(file);

    std::string expected = "0 open\n1 open\n2 open\n";
    for (int fd : {fds[0], fds[1], file}) expected += std::to_string(fd) + " closed\n";
    EXPECT_EQ(test::readFile(out), expected);
}
#pragma GCC diagnostic pop

TEST(PosixProcessLauncher, ChildWithoutHandlerIsReapedNotLeftAZombie) {
    test::TempDir dir;
    platform::PosixProcessLauncher launcher;
    const auto result = launcher.launch("/bin/true", {}, dir.path(), {});
    ASSERT_GT(result.processIdentifier, 0) << result.error;
    const auto stat = "/proc/" + std::to_string(result.processIdentifier);
    EXPECT_TRUE(test::eventually([&] { return !std::filesystem::exists(stat); }))
        << "the ended child is still in the process table";
}

TEST(PosixProcessLauncher, StartFailsWithAReasonAndNoChild) {
    test::TempDir dir;
    dir.write("not-executable", "#!/bin/sh\n");
    struct Case {
        std::filesystem::path executable;
        std::filesystem::path workingDirectory;
        const char* reason;
    };
    const Case cases[] = {
        {dir / "missing", dir.path(), "No such file or directory"},
        {dir / "not-executable", dir.path(), "Permission denied"},
        {"/bin/true", dir / "no such folder", "No such file or directory"},
    };
    platform::PosixProcessLauncher launcher;
    for (const auto& c : cases) {
        const auto result = launcher.launch(c.executable, {}, c.workingDirectory, {});
        EXPECT_EQ(result.processIdentifier, 0) << c.executable;
        EXPECT_FALSE(result.running);
        EXPECT_NE(result.error.find(c.reason), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(c.executable.string()), std::string::npos) << result.error;
    }
}

TEST(PosixProcessLauncher, ChildStartsWithDefaultSignalsAndEmptyMask) {
    test::TempDir dir;
    // An ignored SIGTERM and a blocked SIGUSR1 in the launcher must not carry
    // over. cp copies its own status, so the mask it started with is read.
    struct sigaction ignore{}, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGTERM, &ignore, &previous);
    sigset_t blocked, oldMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &oldMask);
    auto box = std::make_shared<ExitBox>();
    platform::PosixProcessLauncher launcher;
    launcher.launch("/bin/cp", {"/proc/self/status", (dir / "status").string()}, dir.path(), ExitBox::handlerFor(box));
    ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    ::sigaction(SIGTERM, &previous, nullptr);
    ASSERT_TRUE(box->wait().has_value());

    const auto status = test::readFile(dir / "status");
    const auto field = [&](const std::string& name) {
        const auto at = status.find(name + ":\t");
        return at == std::string::npos ? 0ull : std::stoull(status.substr(at + name.size() + 2, 16), nullptr, 16);
    };
    ASSERT_NE(status.find("SigBlk:"), std::string::npos) << status;
    EXPECT_EQ(field("SigBlk"), 0ull);
    EXPECT_EQ(field("SigIgn") & (1ull << (SIGTERM - 1)), 0ull);
}

// A child that outlives the launcher's end is still reaped, but its exit is
// reported to no one: the program's state may be gone by then. (In a child
// process: the exit gate stays shut.)
TEST(PosixProcessLauncherDeathTest, AChildEndingAfterTheProcessBeganToEndIsReapedUnreported) {
    test::TempDir dir;
    const auto go = dir.path() / "go";
    EXPECT_EXIT(
        {
            auto box = std::make_shared<ExitBox>();
            platform::PosixProcessLauncher launcher;
            const auto result = launcher.launch("/bin/sh", {"-c", "while [ ! -e go ]; do sleep 0.01; done"},
                                                dir.path(), ExitBox::handlerFor(box));
            platform::ExitGate::close();
            std::ofstream{go};
            const bool reaped = test::eventually([&] { return ::kill(result.processIdentifier, 0) != 0; }, 30.0);
            std::lock_guard lock(box->mutex);
            std::_Exit(result.processIdentifier > 0 && reaped && !box->exit ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace hexora
