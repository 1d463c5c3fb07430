#include "services/internal/FileOps.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace hexora::FileOps {
namespace fs = std::filesystem;
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

mode_t modeToKeep(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
    return 0644;
}

// Refuses anything but a regular file, with the reason the caller reports.
bool checkRegular(mode_t mode, std::error_code& error) {
    if (S_ISREG(mode)) return true;
    error = std::make_error_code(S_ISDIR(mode) ? std::errc::is_a_directory : std::errc::invalid_argument);
    return false;
}

// The hidden sibling name both temporary-item calls use, up to its random part.
std::string siblingStem(const fs::path& target) {
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp-";
    return (target.parent_path() / name).string();
}

bool isPrefix(const fs::path& root, const fs::path& path) {
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

}  // namespace

bool itemExists(const fs::path& path) noexcept {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isRegularFile(const fs::path& path) noexcept {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isFolder(const fs::path& path) noexcept {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool writeAll(int fd, std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

std::optional<TemporaryFile> createTemporarySibling(const fs::path& target, std::error_code& error) noexcept {
    error.clear();
    try {
        std::string pattern = siblingStem(target) + "XXXXXX";
        FileDescriptor descriptor(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!descriptor || ::fchmod(descriptor.get(), 0644) != 0) {
            error = lastError();
            if (descriptor) ::unlink(pattern.c_str());
            return std::nullopt;
        }
        return TemporaryFile{std::move(descriptor), fs::path(pattern)};
    } catch (const std::bad_alloc&) {
        error = std::make_error_code(std::errc::not_enough_memory);
        return std::nullopt;
    }
}

fs::path freeSiblingName(const fs::path& target) {
    static constexpr std::string_view Letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string stem = siblingStem(target);
    for (;;) {
        std::string name = stem;
        for (int i = 0; i < 6; ++i) name += Letters[random() % Letters.size()];
        if (!itemExists(name)) return name;
    }
}

bool replaceAtomically(const fs::path& path, std::string_view bytes) noexcept {
    std::error_code error;
    auto temporary = createTemporarySibling(path, error);
    if (!temporary) return false;
    const int fd = temporary->descriptor.get();
    const bool written = writeAll(fd, bytes) && ::fchmod(fd, modeToKeep(path)) == 0 && ::fsync(fd) == 0;
    const bool closed = temporary->descriptor.close();
    if (!written || !closed || ::rename(temporary->path.c_str(), path.c_str()) != 0) {
        ::unlink(temporary->path.c_str());
        return false;
    }
    syncFolder(path.parent_path());
    return true;
}

void syncFolder(const fs::path& folder) noexcept {
    const FileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.get());
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
