#pragma once
// A file-system layer that tests steer, for the failure paths a real disk
// shows only with root, chattr, a tmpfs or a second file system: each call
// goes to the system unless a chosen call on a chosen path fails with a
// chosen errno (EACCES, EPERM, ENOSPC, EDQUOT, EXDEV, EIO, ...). Paths are
// matched by fnmatch(3) patterns ("*" also spans "/"); a call on a
// descriptor matches by the path the descriptor was opened at; a call on two
// paths matches when either does. It also stands in for a small disk (a byte
// budget for the files below a folder) and for the swap on a file system that
// lacks it, and counts the calls. ScopedFileSystem installs one for a test's
// life.
//
// Thread: any; the settings and counts are guarded by one mutex, the system
// calls themselves run outside it.
#include "platform/FileSystem.hpp"
#include "platform/PosixFileSystem.hpp"
#include "support/ScopedLayer.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace hexora::test {

class FakeFileSystem final : public platform::FileSystem {
public:
    enum class Call { Open, Write, Close, Sync, SpaceOf, Rename, Exchange, Remove };

    static constexpr int Always = -1;

    /// `call`s on paths matching `pattern` fail with `error`: `failTimes` of
    /// them (Always: every one), once `succeedFirst` have gone through to the
    /// system. Of several faults for one call the first set wins.
    void fail(Call call, std::string pattern, int error, int succeedFirst = 0, int failTimes = Always);
    /// The files at paths matching `pattern` lie on a disk with `freeBytes`
    /// left: writes to them use it up (a write finding none left fails with
    /// ENOSPC, one finding too little writes what fits), and spaceOf() tells
    /// what is left, in blocks of 4096 bytes. Deleting gives nothing back.
    void limitSpace(std::string pattern, std::uint64_t freeBytes);
    /// What is left of the limitSpace() budget.
    std::uint64_t freeBytes() const;
    /// Swaps by three renames (through a free sibling name) instead of the
    /// system's swap, for file systems that lack it. Not atomic for other
    /// observers, but whole between two steps of the calling thread.
    void emulateExchange() { std::lock_guard lock(mutex_); emulateExchange_ = true; }
    /// How many `call`s on paths matching `pattern` (one of two paths is
    /// enough) were made so far, failed or not.
    int calls(Call call, const std::string& pattern = "*") const;

    int open(const std::filesystem::path& path, int flags, mode_t mode) override;
    ssize_t write(int fd, const void* data, std::size_t size) override;
    int close(int fd) override;
    int sync(int fd) override;
    int spaceOf(int fd, struct statvfs& figures) override;
    int rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    int exchange(const std::filesystem::path& first, const std::filesystem::path& second) override;
    int remove(const std::filesystem::path& path) override;

private:
    // An fnmatch(3) pattern; a path matches it as given or with the folders
    // before its first wildcard resolved, as the system names the path of a
    // descriptor (a temporary folder may lie below a link).
    struct Pattern {
        explicit Pattern(std::string pattern);
        bool matches(const std::string& path) const;
        std::string given;
        std::string resolvedFolders;
    };
    struct Fault {
        Call call;
        Pattern pattern;
        int error;
        int succeedFirst;
        int failTimes;
    };
    struct Disk {
        Pattern pattern;
        std::uint64_t freeBytes;
    };

    /// Counts the call; the errno it must fail with, if any.
    std::optional<int> faultFor(Call call, const std::string& first, const std::string& second = {});
    int exchangeByRenames(const std::filesystem::path& first, const std::filesystem::path& second);

    mutable std::mutex mutex_;
    std::vector<Fault> faults_;
    std::optional<Disk> disk_;
    bool emulateExchange_ = false;
    std::map<std::tuple<Call, std::string, std::string>, int> calls_;
    platform::PosixFileSystem system_;
};

/// ScopedFileSystem fileSystem; installs a FakeFileSystem for its scope.
using ScopedFileSystem = ScopedLayer<platform::FileSystem, FakeFileSystem>;

}  // namespace hexora::test
