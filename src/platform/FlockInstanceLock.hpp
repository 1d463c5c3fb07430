#pragma once
// The system's instance lock: flock(2) LOCK_EX | LOCK_NB on a descriptor
// opened close-on-exec, kept open for the life of the object (the process's,
// in the layer slot). A lock file that cannot be opened or locked for any
// other reason than another holder gives Unavailable.
//
// Thread: any thread; a mutex guards the open descriptors.
#include "platform/FileDescriptor.hpp"
#include "platform/InstanceLock.hpp"

#include <map>
#include <mutex>

namespace hexora::platform {

class FlockInstanceLock final : public InstanceLock {
public:
    Result tryAcquire(const std::filesystem::path& lockFile) override;

private:
    std::mutex mutex_;
    std::map<std::filesystem::path, FileDescriptor> held_;
};

}  // namespace hexora::platform
