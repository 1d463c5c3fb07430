#pragma once
// The lower of the two levels of file work (platform/FileOps is the upper):
// the file-system calls whose failures the update steps must survive (a full
// disk, a folder nothing can be added to, a file that cannot be deleted, two
// file systems, a file system without the swap), behind one layer so that a
// test can make any of them fail on any machine. Each call is the system call
// of the same name and reports the same way: -1 with errno set.
// The download's writes and last rename, the gunzip's renames, the patch
// steps' renames, swaps and deletes, the boot's write test and the atomic
// file writes make these calls here or through FileOps; reads, listings,
// folder creation, type tests and the copies between two file systems call
// the system directly.
//
// Thread: any thread may call; a layer must allow concurrent calls. install()
// is meant for process start and for tests; callers see the old or the new
// layer.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <sys/statvfs.h>
#include <sys/types.h>

namespace hexora::platform {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    /// open(2); the new descriptor, or -1.
    virtual int open(const std::filesystem::path& path, int flags, mode_t mode) = 0;
    /// write(2) on a descriptor from open(); the bytes written, or -1.
    virtual ssize_t write(int fd, const void* data, std::size_t size) = 0;
    /// close(2) of a descriptor from open(); 0 or -1 (the descriptor is gone either way).
    virtual int close(int fd) = 0;
    /// fsync(2); 0 or -1.
    virtual int sync(int fd) = 0;
    /// fstatvfs(2): the figures of the file system holding `fd`; 0 or -1.
    virtual int spaceOf(int fd, struct statvfs& figures) = 0;
    /// rename(2); 0 or -1 (EXDEV between two file systems).
    virtual int rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    /// renameat2(2) with RENAME_EXCHANGE: swaps the two existing items; 0 or -1.
    virtual int exchange(const std::filesystem::path& first, const std::filesystem::path& second) = 0;
    /// remove(3): deletes the file, link or empty folder at `path`; 0 or -1.
    virtual int remove(const std::filesystem::path& path) = 0;

    /// The installed layer; the system's own unless install() replaced it.
    static std::shared_ptr<FileSystem> current();
    /// Replaces the layer; nullptr restores the system's own.
    static void install(std::shared_ptr<FileSystem> fileSystem);
};

}  // namespace hexora::platform
