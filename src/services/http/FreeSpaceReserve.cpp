#include "services/http/FreeSpaceReserve.hpp"

#include "platform/FileSystem.hpp"

#include <limits>
#include <sys/statvfs.h>

namespace hexora::Http {

bool FreeSpaceReserve::admits(int fd, std::uint64_t length) {
    if (reserve_ == 0) return true;
    if (!looked_ || sinceLook_ >= LookEveryBytes || sinceLook_ + length > headroom_) look(fd);
    if (sinceLook_ + length > headroom_) return false;
    sinceLook_ += length;
    return true;
}

void FreeSpaceReserve::look(int fd) {
    looked_ = true;
    sinceLook_ = 0;
    struct statvfs figures {};
    if (platform::FileSystem::current()->spaceOf(fd, figures) != 0) {
        headroom_ = std::numeric_limits<std::uint64_t>::max();
        return;
    }
    const std::uint64_t block = figures.f_frsize ? figures.f_frsize : figures.f_bsize;
    const std::uint64_t free = static_cast<std::uint64_t>(figures.f_bavail) * block;
    const std::uint64_t kept = reserve_ + block;
    headroom_ = free > kept ? free - kept : 0;
}

}  // namespace hexora::Http
