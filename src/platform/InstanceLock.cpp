#include "platform/InstanceLock.hpp"

#include "platform/FlockInstanceLock.hpp"
#include "platform/LayerSlot.hpp"

namespace hexora::platform {
namespace {
using Slot = LayerSlot<InstanceLock, FlockInstanceLock>;
}  // namespace

std::shared_ptr<InstanceLock> InstanceLock::current() { return Slot::current(); }

void InstanceLock::install(std::shared_ptr<InstanceLock> lock) { Slot::install(std::move(lock)); }

}  // namespace hexora::platform
