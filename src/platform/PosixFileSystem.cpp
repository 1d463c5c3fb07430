#include "platform/PosixFileSystem.hpp"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace hexora::platform {

int PosixFileSystem::open(const std::filesystem::path& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags, mode);
}

ssize_t PosixFileSystem::write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

int PosixFileSystem::close(int fd) { return ::close(fd); }

int PosixFileSystem::sync(int fd) { return ::fsync(fd); }

int PosixFileSystem::spaceOf(int fd, struct statvfs& figures) { return ::fstatvfs(fd, &figures); }

int PosixFileSystem::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str());
}

int PosixFileSystem::exchange(const std::filesystem::path& first, const std::filesystem::path& second) {
    return ::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE);
}

int PosixFileSystem::remove(const std::filesystem::path& path) { return std::remove(path.c_str()); }

}  // namespace hexora::platform
