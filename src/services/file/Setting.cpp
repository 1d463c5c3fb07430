#include "services/file/Setting.hpp"

#include "platform/FileOps.hpp"
#include "services/file/LocalFile.hpp"
#include "services/internal/Paths.hpp"

#include <utility>

namespace hexora {

Setting::Setting(std::string_view fileName) : Setting(atPath, storagePath() / fileName) {}

Setting::Setting(AtPath, std::filesystem::path path) : path_(std::move(path)) { load(); }

SettingFormat Setting::setting() const {
    std::lock_guard lock(mutex_);
    return setting_;
}

void Setting::setSetting(SettingFormat record) {
    std::lock_guard lock(mutex_);
    setting_ = std::move(record);
}

void Setting::setApiDsaIndex(std::int64_t index) {
    std::lock_guard lock(mutex_);
    setting_.api_dsa_index = index;
}

void Setting::setCdnDsaIndex(std::int64_t index) {
    std::lock_guard lock(mutex_);
    setting_.cdn_dsa_index = index;
}

bool Setting::load() {
    if (LocalFile::isNonEmptyRegularFile(path_)) {
        std::error_code error;
        if (const auto bytes = LocalFile::readAll(path_, error, MaxFileBytes)) {
            if (auto record = SettingFormat::decode(*bytes)) {
                setSetting(std::move(*record));
                return true;
            }
        }
    }
    LocalFile::discardAndMakeParent(path_);
    return false;
}

bool Setting::write() const { return FileOps::replaceAtomically(path_, setting().encode()); }

}  // namespace hexora
