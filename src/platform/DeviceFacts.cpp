#include "platform/DeviceFacts.hpp"

#include "platform/LayerSlot.hpp"
#include "platform/SystemDeviceFacts.hpp"

namespace hexora::platform {
namespace {
using Slot = LayerSlot<DeviceFacts, SystemDeviceFacts>;
}  // namespace

std::shared_ptr<DeviceFacts> DeviceFacts::current() { return Slot::current(); }

void DeviceFacts::install(std::shared_ptr<DeviceFacts> facts) { Slot::install(std::move(facts)); }

}  // namespace hexora::platform
