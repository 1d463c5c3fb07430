#include "services/file/LocalFile.hpp"

#include "platform/FileOps.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Path.hpp"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace hexora::LocalFile {
namespace fs = std::filesystem;

bool isNonEmptyRegularFile(const fs::path& path) { return fileSize(path) > 0; }

std::optional<std::string> readAll(const fs::path& path, std::error_code& error, std::uintmax_t maxBytes) {
    const FileDescriptor fd = FileOps::openRegularFile(path, error);
    if (!fd) return std::nullopt;
    return FileOps::readToEnd(fd.get(), maxBytes, error);
}

bool discardAndMakeParent(const fs::path& path) {
    std::error_code error;
    if (FileOps::itemExists(path)) fs::remove_all(path, error);
    if (!error && path.has_parent_path()) fs::create_directories(path.parent_path(), error);
    if (error) {
        Log::warning("Failed to delete invalid setting file or create directory: " + error.message());
        return false;
    }
    return true;
}

}  // namespace hexora::LocalFile
