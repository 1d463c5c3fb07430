// The system's instance lock: one holder at a time, also between two opens
// in one process; the holder keeps it; a process that ends, or that starts
// another program, lets go of it.
#include "platform/FlockInstanceLock.hpp"

#include "support/Eventually.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace hexora::platform {
namespace {
using namespace std::chrono_literals;
using Result = InstanceLock::Result;

TEST(InstanceLockTest, OneHolderAtATimeAndTheHolderKeepsIt) {
    test::TempDir dir;
    const auto file = dir / "support/instance.lock";
    FlockInstanceLock first;
    FlockInstanceLock second;
    EXPECT_EQ(first.tryAcquire(file), Result::Held) << "the folder is made";
    EXPECT_EQ(first.tryAcquire(file), Result::Held) << "asked again by its holder";
    EXPECT_EQ(second.tryAcquire(file), Result::HeldElsewhere);
    EXPECT_EQ(second.tryAcquire(dir / "other.lock"), Result::Held) << "another file is another lock";
}

TEST(InstanceLockTest, FileThatCannotBeMadeIsUnavailable) {
    test::TempDir dir;
    dir.write("file", "a file where the folder should be");
    FlockInstanceLock lock;
    EXPECT_EQ(lock.tryAcquire(dir / "file/instance.lock"), Result::Unavailable);
    ::symlink((dir / "elsewhere").c_str(), (dir / "link.lock").c_str());
    EXPECT_EQ(lock.tryAcquire(dir / "link.lock"), Result::Unavailable) << "never through a link";
}

// A child takes the lock and tells so. Staying: it holds the lock until it
// ends. Starting another program: the lock is not handed on to it.
TEST(InstanceLockTest, ProcessThatEndsOrStartsAnotherProgramLetsGo) {
    for (const bool execs : {false, true}) {
        SCOPED_TRACE(execs ? "starts another program" : "ends");
        test::TempDir dir;
        const auto file = dir / "instance.lock";
        int taken[2];
        int release[2];
        ASSERT_EQ(::pipe(taken), 0);
        ASSERT_EQ(::pipe(release), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(release[1]);
            FlockInstanceLock lock;
            const char held = lock.tryAcquire(file) == Result::Held ? 'y' : 'n';
            (void)!::write(taken[1], &held, 1);
            if (execs) ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
            char ignored;
            (void)!::read(release[0], &ignored, 1);
            ::_exit(0);
        }
        char held = 0;
        ASSERT_EQ(::read(taken[0], &held, 1), 1);
        ASSERT_EQ(held, 'y');
        FlockInstanceLock lock;
        if (execs) {
            EXPECT_TRUE(test::eventually([&] { return lock.tryAcquire(file) == Result::Held; }, 10s, 10ms));
            EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), 0) << "the program it started still runs";
            ::kill(child, SIGKILL);
        } else {
            EXPECT_EQ(lock.tryAcquire(file), Result::HeldElsewhere);
            ::close(release[1]);
        }
        ::waitpid(child, nullptr, 0);
        EXPECT_EQ(lock.tryAcquire(file), Result::Held);
        for (const int fd : {taken[0], taken[1], release[0]}) ::close(fd);
        if (execs) ::close(release[1]);
    }
}

}  // namespace
}  // namespace hexora::platform
