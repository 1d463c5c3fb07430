#include "platform/ExitGate.hpp"

#include <cstdlib>
#include <mutex>
#include <shared_mutex>

namespace hexora::platform {
namespace {
struct Gate {
    std::shared_mutex mutex;
    bool closed = false;
};

// Made on first use and never destroyed: callbacks may still knock while the
// program's statics are torn down.
Gate& gate() {
    static Gate* const instance = [] {
        auto* made = new Gate;
        std::atexit([] { ExitGate::close(); });
        return made;
    }();
    return *instance;
}
}  // namespace

bool ExitGate::runUnlessClosed(const std::function<void()>& body) {
    std::shared_lock lock(gate().mutex);
    if (gate().closed) return false;
    if (body) body();
    return true;
}

void ExitGate::close() {
    std::unique_lock lock(gate().mutex);
    gate().closed = true;
}

bool ExitGate::isClosed() {
    std::shared_lock lock(gate().mutex);
    return gate().closed;
}

}  // namespace hexora::platform
