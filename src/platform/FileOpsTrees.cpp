// FileOps: deleting, copying and moving trees (see FileOps.hpp).
#include "platform/FileOps.hpp"

#include "platform/FileSystem.hpp"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace hexora::FileOps {
namespace fs = std::filesystem;
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

// Deletes what is inside the folder `folder`, item by item.
bool removeEntries(platform::FileSystem& fileSystem, const fs::path& folder, std::error_code& error);

bool removeItem(platform::FileSystem& fileSystem, const fs::path& path, std::error_code& error) {
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

bool removeEntries(platform::FileSystem& fileSystem, const fs::path& folder, std::error_code& error) {
    // The listing is taken whole first: deleting while iterating may skip entries.
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error) return false;
    for (const fs::path& entry : entries)
        if (!removeItem(fileSystem, entry, error)) return false;
    return true;
}

[[noreturn]] void fail(const char* what, const fs::path& from, const fs::path& to, std::error_code code) {
    throw fs::filesystem_error(what, from, to, code);
}

// Renames `from` to `to` when both lie on one file system; false (nothing
// changed) when they do not; throws for any other refusal.
bool renameWithinOneFileSystem(const fs::path& from, const fs::path& to) {
    std::error_code code;
    if (renameItem(from, to, code)) return true;
    if (code != std::errc::cross_device_link) fail("rename failed", from, to, code);
    return false;
}

void requireSourceAndFreeTarget(const fs::path& from, const fs::path& to) {
    if (!itemExists(from)) fail("source not found", from, to, std::make_error_code(std::errc::no_such_file_or_directory));
    if (itemExists(to)) fail("destination exists", from, to, std::make_error_code(std::errc::file_exists));
}

// Copies the modification times of regular files and folders below (and of)
// `from` onto the same items below `to`. A time that cannot be set is left.
void copyTimes(const fs::path& from, const fs::path& to) {
    std::error_code code;
    const auto status = fs::symlink_status(from, code);
    if (code || fs::is_symlink(status)) return;
    if (fs::is_directory(status)) {
        for (fs::recursive_directory_iterator it(from, code), end; !code && it != end; it.increment(code)) {
            std::error_code ignored;
            if (it->is_symlink(ignored)) continue;
            const auto time = fs::last_write_time(it->path(), ignored);
            if (!ignored) fs::last_write_time(to / fs::relative(it->path(), from, ignored), time, ignored);
        }
    }
    std::error_code ignored;
    const auto time = fs::last_write_time(from, ignored);
    if (!ignored) fs::last_write_time(to, time, ignored);
}

// Copies the file or link at `from` to the free name `to`; the copy is made
// with an exclusive create, so an item that appeared there meanwhile is
// never overwritten.
void copyOneItem(const fs::path& from, const fs::path& to, std::error_code& code) {
    if (fs::is_symlink(fs::symlink_status(from, code))) {
        const fs::path target = fs::read_symlink(from, code);
        if (!code) fs::create_symlink(target, to, code);
        return;
    }
    if (code) return;
    fs::copy_file(from, to, fs::copy_options::none, code);
    if (!code) copyTimes(from, to);
}

// Copies into `to` each item of the tree `from` that `to` lacks (links as
// links), keeping what is there. Not fs::copy with skip_existing: that still
// fails on a link that is there.
void fillIn(const fs::path& from, const fs::path& to, std::error_code& code) {
    if (!itemExists(to)) {
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
        return;
    }
    if (!isFolder(from) || !isFolder(to)) return;
    for (fs::directory_iterator it(from, code), end; !code && it != end; it.increment(code))
        fillIn(it->path(), to / it->path().filename(), code);
}

}  // namespace

bool removeAll(const fs::path& path, std::error_code& error) noexcept {
    error.clear();
    try {
        return removeItem(*platform::FileSystem::current(), path, error);
    } catch (const std::bad_alloc&) {
        error = std::make_error_code(std::errc::not_enough_memory);
        return false;
    }
}

void removeAll(const fs::path& path) {
    std::error_code error;
    if (!removeAll(path, error)) throw fs::filesystem_error("cannot remove all", path, error);
}

void copyItem(const fs::path& from, const fs::path& to) {
    requireSourceAndFreeTarget(from, to);
    std::error_code code;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
    if (code) {
        std::error_code ignored;
        removeAll(to, ignored);
        fail("copy failed", from, to, code);
    }
    copyTimes(from, to);
}

void copyThenDelete(const fs::path& from, const fs::path& to) {
    copyItem(from, to);
    std::error_code code;
    if (!removeAll(from, code)) {
        // Part of the source may be gone: put back what is missing from the
        // complete copy, then drop the copy, so the item stays where it was.
        std::error_code restore;
        fillIn(to, from, restore);
        if (!restore) {
            copyTimes(to, from);
            removeAll(to, restore);
        }
        fail("cannot remove source after copy", from, to, code);
    }
}

void moveItem(const fs::path& from, const fs::path& to) {
    requireSourceAndFreeTarget(from, to);
    if (!renameWithinOneFileSystem(from, to)) copyThenDelete(from, to);
}

void replaceFileByCopy(const fs::path& from, const fs::path& to) {
    if (!itemExists(from)) fail("source not found", from, to, std::make_error_code(std::errc::no_such_file_or_directory));
    std::error_code code;
    fs::path sibling;
    do {
        sibling = freeSiblingName(to);
        copyOneItem(from, sibling, code);
    } while (code == std::errc::file_exists);
    if (!code) renameItem(sibling, to, code);
    if (code) {
        std::error_code ignored;
        removeAll(sibling, ignored);
        fail("replace failed", from, to, code);
    }
    if (!removeAll(from, code)) fail("cannot remove source after copy", from, to, code);
}

void replaceFile(const fs::path& from, const fs::path& to) {
    if (!itemExists(from)) fail("source not found", from, to, std::make_error_code(std::errc::no_such_file_or_directory));
    if (!renameWithinOneFileSystem(from, to)) replaceFileByCopy(from, to);
}

}  // namespace hexora::FileOps
