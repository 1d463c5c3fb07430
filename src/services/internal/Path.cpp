#include "services/internal/Path.hpp"

#include "platform/FileOps.hpp"
#include "services/internal/ServiceError.hpp"

namespace hexora {
namespace fs = std::filesystem;

void Path::clear(const fs::path& path) {
    // A symbolic link to a folder counts as a folder; removeAll then removes
    // the link itself and never what it points at.
    const auto status = fs::status(path);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            throw ServiceError(ClearErrorDomain, 0, "path is not a Directory : " + path.string());
        }
        FileOps::removeAll(path);
    }
    fs::create_directories(path);
}

std::int64_t fileSize(const fs::path& path) noexcept {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return 0;
    const auto size = fs::file_size(path, error);
    if (error) return 0;
    return static_cast<std::int64_t>(size);
}

}  // namespace hexora
