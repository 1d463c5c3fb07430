#include "platform/FilePrimitives.hpp"

#include "platform/FileSystem.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace hexora::platform::FilePrimitives {
namespace fs = std::filesystem;
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

mode_t modeToKeep(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
    return 0644;
}

// The hidden sibling name both temporary-item calls use, up to its random part.
std::string siblingStem(const fs::path& target) {
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp-";
    return (target.parent_path() / name).string();
}

// Deletes what is inside the folder `folder`, item by item.
bool removeEntries(FileSystem& fileSystem, const fs::path& folder, std::error_code& error);

bool removeItem(FileSystem& fileSystem, const fs::path& path, std::error_code& error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return true;
        error = lastError();
        return false;
    }
    if (S_ISDIR(info.st_mode) && !removeEntries(fileSystem, path, error)) return false;
    if (fileSystem.remove(path) == 0 || errno == ENOENT) return true;
    error = lastError();
    return false;
}

bool removeEntries(FileSystem& fileSystem, const fs::path& folder, std::error_code& error) {
    // The listing is taken whole first: deleting while iterating may skip entries.
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error) return false;
    for (const fs::path& entry : entries)
        if (!removeItem(fileSystem, entry, error)) return false;
    return true;
}

}  // namespace

bool itemExists(const fs::path& path) noexcept {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool writeAll(int fd, std::string_view bytes) noexcept {
    const auto fileSystem = FileSystem::current();
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

std::optional<TemporaryFile> createTemporarySibling(const fs::path& target, std::error_code& error) noexcept {
    error.clear();
    try {
        const auto fileSystem = FileSystem::current();
        for (;;) {
            fs::path name = freeSiblingName(target);
            FileDescriptor descriptor(fileSystem->open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!descriptor && errno == EEXIST) continue;
            // The mode is set after the create, so the process's umask does not change it.
            if (!descriptor || ::fchmod(descriptor.get(), 0644) != 0) {
                error = lastError();
                if (descriptor) ::unlink(name.c_str());
                return std::nullopt;
            }
            return TemporaryFile{std::move(descriptor), std::move(name)};
        }
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

std::vector<fs::path> temporarySiblingsOf(const fs::path& target) noexcept {
    std::vector<fs::path> found;
    try {
        const std::string stem = fs::path(siblingStem(target)).filename().string();
        const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.size() != stem.size() + 6 || name.compare(0, stem.size(), stem) != 0) continue;
            if (!std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()), name.end(),
                             [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
                continue;
            found.push_back(target.parent_path() / name);
        }
    } catch (const std::exception&) {
    }
    return found;
}

bool replaceAtomically(const fs::path& path, std::string_view bytes, std::optional<mode_t> mode) noexcept {
    std::error_code error;
    auto temporary = createTemporarySibling(path, error);
    if (!temporary) return false;
    const auto fileSystem = FileSystem::current();
    const int fd = temporary->descriptor.get();
    const bool written = writeAll(fd, bytes) && ::fchmod(fd, mode.value_or(modeToKeep(path))) == 0 &&
                         fileSystem->sync(fd) == 0;
    const bool closed = temporary->descriptor.close();
    if (!written || !closed || fileSystem->rename(temporary->path, path) != 0) {
        ::unlink(temporary->path.c_str());
        return false;
    }
    syncFolder(path.parent_path());
    return true;
}

void syncFolder(const fs::path& folder) noexcept {
    const auto fileSystem = FileSystem::current();
    const fs::path name = folder.empty() ? fs::path(".") : folder;
    const FileDescriptor fd(fileSystem->open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (fd) fileSystem->sync(fd.get());
}

bool removeAll(const fs::path& path, std::error_code& error) noexcept {
    error.clear();
    try {
        return removeItem(*FileSystem::current(), path, error);
    } catch (const std::bad_alloc&) {
        error = std::make_error_code(std::errc::not_enough_memory);
        return false;
    }
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

bool renameItem(const fs::path& from, const fs::path& to, std::error_code& error) noexcept {
    if (FileSystem::current()->rename(from, to) == 0) {
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

void removeAll(const fs::path& path) {
    std::error_code error;
    if (!removeAll(path, error)) throw fs::filesystem_error("cannot remove all", path, error);
}

}  // namespace hexora::platform::FilePrimitives
