#include "platform/DeviceFacts.hpp"

#include "platform/SystemDeviceFacts.hpp"

#include <mutex>

namespace hexora::platform {
namespace {
std::mutex& slotMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<DeviceFacts>& slot() {
    static std::shared_ptr<DeviceFacts> facts = std::make_shared<SystemDeviceFacts>();
    return facts;
}
}  // namespace

std::shared_ptr<DeviceFacts> DeviceFacts::current() {
    std::lock_guard lock(slotMutex());
    return slot();
}

void DeviceFacts::install(std::shared_ptr<DeviceFacts> facts) {
    if (!facts) facts = std::make_shared<SystemDeviceFacts>();
    std::lock_guard lock(slotMutex());
    slot().swap(facts);
}

}  // namespace hexora::platform
