#include "support/SmallFileSystem.hpp"

#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace hexora::test {
namespace fs = std::filesystem;

SmallFileSystem::SmallFileSystem(fs::path folder, std::uint64_t bytes, bool readOnly) : folder_(std::move(folder)) {
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) {
        reason_ = "cannot create " + folder_.string() + ": " + error.message();
        return;
    }
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    if (::mount("tmpfs", folder_.c_str(), "tmpfs", flags, options.c_str()) != 0) {
        reason_ = "cannot mount a tmpfs on " + folder_.string() + ": " + std::strerror(errno);
        return;
    }
    mounted_ = true;
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

std::uint64_t SmallFileSystem::freeBytes() const {
    struct statvfs info {};
    if (::statvfs(folder_.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

void fillLeaving(const fs::path& folder, const std::string& name, std::uint64_t leave) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::app);
    const std::vector<char> block(64 * 1024, 'f');
    for (;;) {
        struct statvfs info {};
        if (::statvfs(folder.c_str(), &info) != 0) return;
        const std::uint64_t free = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
        if (free <= leave) return;
        const std::uint64_t chunk = std::min<std::uint64_t>(block.size(), free - leave);
        if (!out.write(block.data(), static_cast<std::streamsize>(chunk)).flush()) return;
    }
}

}  // namespace hexora::test
