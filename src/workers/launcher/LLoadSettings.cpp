#include "workers/launcher/LLoadSettings.hpp"

#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"

namespace hexora::Worker::Launcher {

void LLoadSettings::work() {
    const auto setting = std::make_shared<Setting>(FileName);
    setLoadedSetting(setting);
    const SettingFormat record = setting->setting();
    // setCurrentIndex stores 0 for an index outside the list.
    if (const auto apiList = ApiDomains::apiList()) apiList->setCurrentIndex(record.api_dsa_index);
    if (const auto fileList = ApiDomains::fileList()) fileList->setCurrentIndex(record.cdn_dsa_index);
}

}  // namespace hexora::Worker::Launcher
