#pragma once
// An instance lock that tests steer: held by this process unless a holder is
// set that still runs (another launcher), or unavailable altogether. It
// records the lock files asked for. ScopedInstanceLock installs one for a
// test's life.
//
// Thread: any; a mutex guards the holder and the record.
#include "platform/InstanceLock.hpp"
#include "support/ScopedLayer.hpp"

#include <functional>
#include <mutex>
#include <vector>

namespace hexora::test {

class FakeInstanceLock final : public platform::InstanceLock {
public:
    /// Another process holds the lock for as long as `holderRuns` says so
    /// (nullptr: nobody else holds it).
    void setHolder(std::function<bool()> holderRuns);
    void setUnavailable(bool unavailable);
    std::vector<std::filesystem::path> asked() const;

    Result tryAcquire(const std::filesystem::path& lockFile) override;

private:
    mutable std::mutex mutex_;
    std::function<bool()> holderRuns_;
    bool unavailable_ = false;
    std::vector<std::filesystem::path> asked_;
};

using ScopedInstanceLock = ScopedLayer<platform::InstanceLock, FakeInstanceLock>;

}  // namespace hexora::test
