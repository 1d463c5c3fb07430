#include "services/internal/FileMove.hpp"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace hexora::FileMove {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const char* what, const fs::path& from, const fs::path& to, std::error_code code) {
    throw fs::filesystem_error(what, from, to, code);
}

bool itemExists(const fs::path& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found;
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

}  // namespace

void copyThenDelete(const fs::path& from, const fs::path& to) {
    if (!itemExists(from)) fail("FileMove: source not found", from, to, std::make_error_code(std::errc::no_such_file_or_directory));
    if (itemExists(to)) fail("FileMove: destination exists", from, to, std::make_error_code(std::errc::file_exists));

    std::error_code code;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
    if (code) {
        std::error_code ignored;
        fs::remove_all(to, ignored);
        fail("FileMove: copy failed", from, to, code);
    }
    copyTimes(from, to);

    fs::remove_all(from, code);
    if (code) {
        // Part of the source may be gone: put back what is missing from the
        // complete copy, then drop the copy, so the item stays where it was.
        std::error_code restore;
        fs::copy(to, from,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks | fs::copy_options::skip_existing,
                 restore);
        if (!restore) {
            copyTimes(to, from);
            fs::remove_all(to, restore);
        }
        fail("FileMove: cannot remove source after copy", from, to, code);
    }
}

void moveItem(const fs::path& from, const fs::path& to) {
    if (!itemExists(from)) fail("FileMove: source not found", from, to, std::make_error_code(std::errc::no_such_file_or_directory));
    if (itemExists(to)) fail("FileMove: destination exists", from, to, std::make_error_code(std::errc::file_exists));
    if (std::rename(from.c_str(), to.c_str()) == 0) return;
    const int error = errno;
    if (error != EXDEV) fail("FileMove: rename failed", from, to, std::error_code(error, std::generic_category()));
    copyThenDelete(from, to);
}

}  // namespace hexora::FileMove
