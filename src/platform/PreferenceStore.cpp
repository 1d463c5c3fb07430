#include "platform/PreferenceStore.hpp"

#include "platform/LayerSlot.hpp"
#include "platform/PlistPreferenceStore.hpp"

namespace hexora::platform {
namespace {
using Slot = LayerSlot<PreferenceStore, PlistPreferenceStore>;
}  // namespace

std::shared_ptr<PreferenceStore> PreferenceStore::current() { return Slot::current(); }

void PreferenceStore::install(std::shared_ptr<PreferenceStore> store) { Slot::install(std::move(store)); }

}  // namespace hexora::platform
