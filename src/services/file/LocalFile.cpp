#include "services/file/LocalFile.hpp"

#include "services/internal/FileOps.hpp"
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
    std::string content;
    // Room for the whole file at once: a large one is not copied as it grows.
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && info.st_size > 0)
        content.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(static_cast<std::uintmax_t>(info.st_size), maxBytes) + 1));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = std::error_code(errno, std::generic_category());
            return std::nullopt;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > maxBytes) {
            error = std::make_error_code(std::errc::file_too_large);
            return std::nullopt;
        }
    }
    return content;
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
