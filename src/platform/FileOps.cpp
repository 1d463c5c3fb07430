#include "platform/FileOps.hpp"

#include "platform/FileSystem.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool meansNoSwap(int error) {
    return error == ENOSYS || error == EINVAL || error == EOPNOTSUPP || error == ENOTSUP || error == EXDEV;
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

bool writeAll(int fd, std::string_view bytes) noexcept {
    const auto fileSystem = platform::FileSystem::current();
    while (!bytes.empty()) {
        const ssize_t wrote = fileSystem->write(fd, bytes.data(), bytes.size());
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

std::optional<std::string> readToEnd(int fd, std::uintmax_t maxBytes, std::error_code& error) {
    std::string content;
    // Room for the whole file at once: a large one is not copied as it grows.
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        content.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(static_cast<std::uintmax_t>(info.st_size), maxBytes) + 1));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) return content;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = lastError();
            return std::nullopt;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > maxBytes) {
            error = std::make_error_code(std::errc::file_too_large);
            return std::nullopt;
        }
    }
}

void syncFolder(const fs::path& folder) noexcept {
    const auto fileSystem = platform::FileSystem::current();
    const fs::path name = folder.empty() ? fs::path(".") : folder;
    const FileDescriptor fd(fileSystem->open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (fd) fileSystem->sync(fd.get());
}

bool renameItem(const fs::path& from, const fs::path& to, std::error_code& error) noexcept {
    if (platform::FileSystem::current()->rename(from, to) == 0) {
        error.clear();
        return true;
    }
    error = lastError();
    return false;
}

void renameItem(const fs::path& from, const fs::path& to) {
    std::error_code error;
    if (!renameItem(from, to, error)) throw fs::filesystem_error("cannot rename", from, to, error);
}

ExchangeResult exchange(const fs::path& first, const fs::path& second) {
    if (platform::FileSystem::current()->exchange(first, second) == 0) return ExchangeResult::Exchanged;
    const int error = errno;
    if (meansNoSwap(error)) return ExchangeResult::NotSupported;
    throw fs::filesystem_error("cannot exchange", first, second, std::error_code(error, std::generic_category()));
}

}  // namespace hexora::FileOps
