#pragma once
// The system's own file-system calls, passed on as they are.
//
// Thread: any thread; stateless.
#include "platform/FileSystem.hpp"

namespace hexora::platform {

class PosixFileSystem final : public FileSystem {
public:
    int open(const std::filesystem::path& path, int flags, mode_t mode) override;
    ssize_t write(int fd, const void* data, std::size_t size) override;
    int close(int fd) override;
    int sync(int fd) override;
    int spaceOf(int fd, struct statvfs& figures) override;
    int rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    int exchange(const std::filesystem::path& first, const std::filesystem::path& second) override;
    int remove(const std::filesystem::path& path) override;
};

}  // namespace hexora::platform
