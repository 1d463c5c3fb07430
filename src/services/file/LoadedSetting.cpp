#include "services/file/LoadedSetting.hpp"

#include <mutex>

namespace hexora {
namespace {
std::mutex holderMutex;
std::shared_ptr<Setting> holder;
}  // namespace

std::shared_ptr<Setting> loadedSetting() {
    std::lock_guard lock(holderMutex);
    return holder;
}

void setLoadedSetting(std::shared_ptr<Setting> setting) {
    std::lock_guard lock(holderMutex);
    holder = std::move(setting);
}

void resetLoadedSetting() { setLoadedSetting(nullptr); }

void storeApiDsaIndex(std::int64_t index) {
    if (const auto setting = loadedSetting()) setting->setApiDsaIndex(index);
}

void storeCdnDsaIndex(std::int64_t index) {
    if (const auto setting = loadedSetting()) setting->setCdnDsaIndex(index);
}

}  // namespace hexora
