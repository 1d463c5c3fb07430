#include "support/SmallFileSystem.hpp"

#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace hexora::test {

SmallFileSystem::SmallFileSystem(std::filesystem::path folder, std::uint64_t sizeBytes, bool readOnly)
    : folder_(std::move(folder)) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    const std::string options = "size=" + std::to_string(sizeBytes);
    const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", flags, options.c_str()) == 0;
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

std::uint64_t SmallFileSystem::freeBytes() const {
    struct statvfs figures {};
    if (::statvfs(folder_.c_str(), &figures) != 0) return 0;
    return static_cast<std::uint64_t>(figures.f_bavail) * figures.f_frsize;
}

}  // namespace hexora::test
