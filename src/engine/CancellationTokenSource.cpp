#include "engine/CancellationTokenSource.hpp"

#include <mutex>

namespace hexora {
namespace {
// One lock for every source of the process, made on first use.
std::mutex& processWideLock() {
    static std::mutex lock;
    return lock;
}
}  // namespace

CancellationTokenSource::CancellationTokenSource() : _observers(Bag<Callback>()) {}

bool CancellationTokenSource::isCancelled() const {
    std::lock_guard lock(processWideLock());
    return !_observers.has_value();
}

void CancellationTokenSource::cancel() {
    std::optional<Bag<Callback>> taken;
    {
        std::lock_guard lock(processWideLock());
        taken.swap(_observers);
    }
    if (!taken) return;
    taken->forEach([](Callback& callback) {
        if (callback) callback();
    });
}

bool CancellationTokenSource::registerCallback(Callback callback) {
    std::lock_guard lock(processWideLock());
    if (!_observers) return false;
    _observers->insert(std::move(callback));
    return true;
}

}  // namespace hexora
