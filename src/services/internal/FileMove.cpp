#include "services/internal/FileMove.hpp"

#include "platform/FileSystem.hpp"
#include "services/internal/FileOps.hpp"

#include <cerrno>
#include <string>
#include <system_error>

namespace hexora::FileMove {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const char* what, const fs::path& from, const fs::path& to, std::error_code code) {
    throw fs::filesystem_error(what, from, to, code);
}

int renameItem(const fs::path& from, const fs::path& to) {
    return platform::FileSystem::current()->rename(from, to);
}

void requireSourceAndFreeTarget(const fs::path& from, const fs::path& to) {
    if (!FileOps::itemExists(from)) fail("FileMove: source not found", from, to, std::make_error_code(std::errc::no_such_file_or_directory));
    if (FileOps::itemExists(to)) fail("FileMove: destination exists", from, to, std::make_error_code(std::errc::file_exists));
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
    if (!FileOps::itemExists(to)) {
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
        return;
    }
    if (!FileOps::isFolder(from) || !FileOps::isFolder(to)) return;
    for (fs::directory_iterator it(from, code), end; !code && it != end; it.increment(code))
        fillIn(it->path(), to / it->path().filename(), code);
}

}  // namespace

void copyItem(const fs::path& from, const fs::path& to) {
    requireSourceAndFreeTarget(from, to);
    std::error_code code;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
    if (code) {
        std::error_code ignored;
        FileOps::removeAll(to, ignored);
        fail("FileMove: copy failed", from, to, code);
    }
    copyTimes(from, to);
}

void copyThenDelete(const fs::path& from, const fs::path& to) {
    copyItem(from, to);
    std::error_code code;
    if (!FileOps::removeAll(from, code)) {
        // Part of the source may be gone: put back what is missing from the
        // complete copy, then drop the copy, so the item stays where it was.
        std::error_code restore;
        fillIn(to, from, restore);
        if (!restore) {
            copyTimes(to, from);
            FileOps::removeAll(to, restore);
        }
        fail("FileMove: cannot remove source after copy", from, to, code);
    }
}

void moveItem(const fs::path& from, const fs::path& to) {
    requireSourceAndFreeTarget(from, to);
    if (renameItem(from, to) == 0) return;
    const int error = errno;
    if (error != EXDEV) fail("FileMove: rename failed", from, to, std::error_code(error, std::generic_category()));
    copyThenDelete(from, to);
}

void replaceFileByCopy(const fs::path& from, const fs::path& to) {
    if (!FileOps::itemExists(from)) fail("FileMove: source not found", from, to, std::make_error_code(std::errc::no_such_file_or_directory));
    std::error_code code;
    fs::path sibling;
    do {
        sibling = FileOps::freeSiblingName(to);
        copyOneItem(from, sibling, code);
    } while (code == std::errc::file_exists);
    if (!code && renameItem(sibling, to) != 0) code = std::error_code(errno, std::generic_category());
    if (code) {
        std::error_code ignored;
        FileOps::removeAll(sibling, ignored);
        fail("FileMove: replace failed", from, to, code);
    }
    if (!FileOps::removeAll(from, code)) fail("FileMove: cannot remove source after copy", from, to, code);
}

void replaceFile(const fs::path& from, const fs::path& to) {
    if (!FileOps::itemExists(from)) fail("FileMove: source not found", from, to, std::make_error_code(std::errc::no_such_file_or_directory));
    if (renameItem(from, to) == 0) return;
    const int error = errno;
    if (error != EXDEV) fail("FileMove: rename failed", from, to, std::error_code(error, std::generic_category()));
    replaceFileByCopy(from, to);
}

}  // namespace hexora::FileMove
