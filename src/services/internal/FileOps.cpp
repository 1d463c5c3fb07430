#include "services/internal/FileOps.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace hexora::FileOps {
namespace fs = std::filesystem;
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

// Refuses anything but a regular file, with the reason the caller reports.
bool checkRegular(mode_t mode, std::error_code& error) {
    if (S_ISREG(mode)) return true;
    error = std::make_error_code(S_ISDIR(mode) ? std::errc::is_a_directory : std::errc::invalid_argument);
    return false;
}

bool isPrefix(const fs::path& root, const fs::path& path) {
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

}  // namespace

bool isRegularFile(const fs::path& path) noexcept {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isFolder(const fs::path& path) noexcept {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileDescriptor openRegularFile(const fs::path& path, std::error_code& error) noexcept {
    error.clear();
    // Look before opening: opening a device may already act on it.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = lastError();
        return {};
    }
    if (!checkRegular(info.st_mode, error)) return {};
    // Non-blocking, so a pipe put in the file's place since the look cannot hold the open.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        error = lastError();
        return {};
    }
    if (::fstat(fd.get(), &info) != 0) {
        error = lastError();
        return {};
    }
    if (!checkRegular(info.st_mode, error)) return {};
    return fd;
}

bool staysInside(const fs::path& relative) noexcept {
    if (relative.empty() || relative.is_absolute() || relative.has_root_name() || relative.has_root_directory())
        return false;
    return std::none_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; });
}

std::optional<fs::path> resolveInside(const fs::path& root, const fs::path& path) noexcept {
    try {
        std::error_code error;
        const fs::path resolvedRoot = fs::canonical(root, error);
        if (error) return std::nullopt;
        fs::path resolved = fs::canonical(path, error);
        if (error || !isPrefix(resolvedRoot, resolved)) return std::nullopt;
        return resolved;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace hexora::FileOps
