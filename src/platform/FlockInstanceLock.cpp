#include "platform/FlockInstanceLock.hpp"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <system_error>

namespace hexora::platform {

InstanceLock::Result FlockInstanceLock::tryAcquire(const std::filesystem::path& lockFile) {
    std::lock_guard lock(mutex_);
    if (held_.count(lockFile)) return Result::Held;
    std::error_code error;
    std::filesystem::create_directories(lockFile.parent_path(), error);
    // Never through a link: the file is the launcher's own.
    FileDescriptor descriptor(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!descriptor) return Result::Unavailable;
    while (::flock(descriptor.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    held_.emplace(lockFile, std::move(descriptor));
    return Result::Held;
}

}  // namespace hexora::platform
