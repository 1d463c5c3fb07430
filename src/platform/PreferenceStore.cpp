#include "platform/PreferenceStore.hpp"

#include "platform/PlistPreferenceStore.hpp"

#include <mutex>

namespace hexora::platform {
namespace {
std::mutex& slotMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<PreferenceStore>& slot() {
    static std::shared_ptr<PreferenceStore> store = std::make_shared<PlistPreferenceStore>();
    return store;
}
}  // namespace

std::shared_ptr<PreferenceStore> PreferenceStore::current() {
    std::lock_guard lock(slotMutex());
    return slot();
}

void PreferenceStore::install(std::shared_ptr<PreferenceStore> store) {
    if (!store) store = std::make_shared<PlistPreferenceStore>();
    std::lock_guard lock(slotMutex());
    slot().swap(store);
}

}  // namespace hexora::platform
