#pragma once
// The process-wide settings of the run (`loadedSetting`): absent until the
// settings loader has run, then replaced by each run of that loader.
//
// Thread: any thread. The holder is swapped under a lock; callers keep the
// returned pointer for as long as they use it, so a replacement never pulls a
// Setting away from under a reader. The record inside is guarded by Setting.
#include "services/file/Setting.hpp"

#include <cstdint>
#include <memory>

namespace hexora {

/// The loaded settings, or nullptr before the loader ran.
std::shared_ptr<Setting> loadedSetting();
/// Makes `setting` the loaded settings, replacing any earlier one.
void setLoadedSetting(std::shared_ptr<Setting> setting);
/// Test access: back to "not loaded".
void resetLoadedSetting();

/// Store the index of the domain that answered, in memory, when settings are
/// loaded; no effect otherwise.
void storeApiDsaIndex(std::int64_t index);
void storeCdnDsaIndex(std::int64_t index);

}  // namespace hexora
