#pragma once
// The lock that settles which of the launchers started together goes on: an
// exclusive lock on a file of the launcher's own, taken without waiting and
// held until the process ends (a killed process lets go of it too). Where the
// system starts a second process for a second open of the same bundle (a
// double click), the process table alone cannot tell the two apart: each sees
// the other. The lock can: one holds it, the others do not.
//
// The lock is never handed to a child process (the relaunched launcher, the
// game): it is the process's own.
//
// Thread: any thread may call tryAcquire(); calls are serialised. install()
// is meant for process start and for tests; callers see the old or the new
// layer.
#include <filesystem>
#include <memory>

namespace hexora::platform {

class InstanceLock {
public:
    enum class Result {
        Held,          ///< this process holds the lock (also when it did already)
        HeldElsewhere, ///< another process holds it; nothing changed
        Unavailable,   ///< the lock file cannot be made or locked (a read-only or odd folder)
    };

    virtual ~InstanceLock() = default;

    /// Takes the lock on `lockFile` (made with its folders when missing) for
    /// the rest of the process's life, without waiting. Never throws.
    virtual Result tryAcquire(const std::filesystem::path& lockFile) = 0;

    /// The installed layer; the system's own (flock) unless install() replaced it.
    static std::shared_ptr<InstanceLock> current();
    /// Replaces the layer; nullptr restores the system's own.
    static void install(std::shared_ptr<InstanceLock> lock);
};

}  // namespace hexora::platform
