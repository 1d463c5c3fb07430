#pragma once
// A path exchange that tests steer: it passes calls to the system's exchange,
// or answers NotSupported (a file system without the swap), or fails with a
// chosen error; it counts the calls. ScopedPathExchange installs one for a
// test's life.
//
// Thread: any; the mode and the count are atomic.
#include "platform/PathExchange.hpp"
#include "platform/RenameExchange.hpp"
#include "support/ScopedLayer.hpp"

#include <atomic>

namespace hexora::test {

class FakePathExchange final : public platform::PathExchange {
public:
    enum class Mode { System, NotSupported, Fail };

    explicit FakePathExchange(Mode mode = Mode::System) : mode_(mode) {}

    void setMode(Mode mode) { mode_ = mode; }
    int calls() const { return calls_; }

    Result exchange(const std::filesystem::path& first, const std::filesystem::path& second) override;

private:
    std::atomic<Mode> mode_;
    std::atomic<int> calls_{0};
    platform::RenameExchange system_;
};

/// ScopedPathExchange exchange{mode} installs FakePathExchange(mode).
using ScopedPathExchange = ScopedLayer<platform::PathExchange, FakePathExchange>;

}  // namespace hexora::test
