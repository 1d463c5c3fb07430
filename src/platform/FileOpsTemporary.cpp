// FileOps: temporary siblings and atomic replacement (see FileOps.hpp).
#include "platform/FileOps.hpp"

#include "platform/FileSystem.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace hexora::FileOps {
namespace fs = std::filesystem;
namespace {

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

}  // namespace

std::optional<TemporaryFile> createTemporarySibling(const fs::path& target, std::error_code& error) noexcept {
    error.clear();
    try {
        const auto fileSystem = platform::FileSystem::current();
        for (;;) {
            fs::path name = freeSiblingName(target);
            FileDescriptor descriptor(fileSystem->open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!descriptor && errno == EEXIST) continue;
            // The mode is set after the create, so the process's umask does not change it.
            if (!descriptor || ::fchmod(descriptor.get(), 0644) != 0) {
                error = {errno, std::generic_category()};
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
    const auto fileSystem = platform::FileSystem::current();
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

}  // namespace hexora::FileOps
