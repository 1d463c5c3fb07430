#include "services/internal/FreeSpaceReserve.hpp"

#include "platform/FileSystem.hpp"

#include <limits>
#include <sys/statvfs.h>

namespace hexora {

bool FreeSpaceReserve::admits(int fd, std::uint64_t length) {
    if (reserve_ == 0) return true;
    if (!looked_ || sinceLook_ >= LookEveryBytes || sinceLook_ + length > headroom_) look(fd);
    if (sinceLook_ + length > headroom_) return false;
    sinceLook_ += length;
    return true;
}

std::optional<std::uint64_t> FreeSpaceReserve::usableBytes(int fd) {
    struct statvfs figures {};
    if (platform::FileSystem::current()->spaceOf(fd, figures) != 0) return std::nullopt;
    const std::uint64_t block = figures.f_frsize ? figures.f_frsize : figures.f_bsize;
    const std::uint64_t free = static_cast<std::uint64_t>(figures.f_bavail) * block;
    return free > block ? free - block : 0;
}

void FreeSpaceReserve::look(int fd) {
    looked_ = true;
    sinceLook_ = 0;
    const auto usable = usableBytes(fd);
    if (!usable) {
        headroom_ = std::numeric_limits<std::uint64_t>::max();
        return;
    }
    headroom_ = *usable > reserve_ ? *usable - reserve_ : 0;
}

}  // namespace hexora
