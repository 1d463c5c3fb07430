#include "services/file/Schemes.hpp"

#include "services/file/LocalFile.hpp"
#include "services/internal/Log.hpp"

#include <utility>

namespace hexora {

Schemes::Schemes(std::filesystem::path path) : path_(std::move(path)) {}

Schemes& Schemes::load() {
    if (!LocalFile::isNonEmptyRegularFile(path_)) {
        LocalFile::discardAndMakeParent(path_);
        return *this;
    }
    std::error_code error;
    const auto bytes = LocalFile::readAll(path_, error, MaxFileBytes);
    if (!bytes) {
        const std::string reason = error == std::errc::file_too_large
                                       ? "scheme file is larger than " + std::to_string(MaxFileBytes) + " bytes"
                                       : error.message();
        Log::error("cannot load scheme : " + reason);
        return *this;
    }
    scheme = SchemeFormat::decode(*bytes);
    return *this;
}

}  // namespace hexora
