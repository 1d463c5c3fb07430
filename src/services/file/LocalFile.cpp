#include "services/file/LocalFile.hpp"

#include "services/internal/Log.hpp"
#include "services/internal/Path.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hexora::LocalFile {
namespace fs = std::filesystem;

bool isNonEmptyRegularFile(const fs::path& path) { return fileSize(path) > 0; }

std::optional<std::string> readAll(const fs::path& path, std::error_code& error, std::uintmax_t maxBytes) {
    error.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::error_code(errno, std::generic_category());
        return std::nullopt;
    }
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = std::error_code(errno, std::generic_category());
            ::close(fd);
            return std::nullopt;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > maxBytes) {
            error = std::make_error_code(std::errc::file_too_large);
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return content;
}

bool discardAndMakeParent(const fs::path& path) {
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found) error.clear();
    if (!error && fs::exists(status)) fs::remove_all(path, error);
    if (!error && path.has_parent_path()) fs::create_directories(path.parent_path(), error);
    if (error) {
        Log::warning("Failed to delete invalid setting file or create directory: " + error.message());
        return false;
    }
    return true;
}

namespace {

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

mode_t modeFor(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
    return 0644;
}

// Makes the rename itself durable; a folder that cannot be synced changes nothing.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool writeAtomically(const fs::path& path, const std::string& bytes) {
    std::string pattern = (path.parent_path() / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    const bool written = writeAll(fd, bytes) && ::fchmod(fd, modeFor(path)) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(pattern.c_str(), path.c_str()) != 0) {
        ::unlink(pattern.c_str());
        return false;
    }
    syncFolder(path.parent_path());
    return true;
}

}  // namespace hexora::LocalFile
