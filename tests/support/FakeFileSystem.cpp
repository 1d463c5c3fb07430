#include "support/FakeFileSystem.hpp"

#include "platform/FileOps.hpp"

#include <algorithm>
#include <cerrno>
#include <fnmatch.h>
#include <string>
#include <unistd.h>

namespace hexora::test {
namespace fs = std::filesystem;
namespace {

constexpr std::uint64_t BlockBytes = 4096;

bool matchesOne(const std::string& pattern, const std::string& path) {
    return !path.empty() && ::fnmatch(pattern.c_str(), path.c_str(), 0) == 0;
}

// `pattern` with the folders before its first wildcard resolved, as the
// system names the path of a descriptor (a temporary folder may lie below a
// link).
std::string resolved(const std::string& pattern) {
    const std::size_t wildcard = std::min(pattern.find_first_of("*?["), pattern.size());
    const std::size_t slash = pattern.rfind('/', wildcard);
    if (slash == std::string::npos || slash == 0) return pattern;
    std::error_code error;
    const fs::path folder = fs::weakly_canonical(pattern.substr(0, slash), error);
    return error ? pattern : folder.string() + pattern.substr(slash);
}

// The path `fd` was opened at, as the system tells it.
std::string pathOf(int fd) {
    std::string buffer(4096, '\0');
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (length <= 0) return {};
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

int failWith(int error) {
    errno = error;
    return -1;
}

}  // namespace

FakeFileSystem::Pattern::Pattern(std::string pattern) : given(std::move(pattern)), resolvedFolders(resolved(given)) {}

bool FakeFileSystem::Pattern::matches(const std::string& path) const {
    return matchesOne(given, path) || matchesOne(resolvedFolders, path);
}

void FakeFileSystem::fail(Call call, std::string pattern, int error, int succeedFirst, int failTimes) {
    std::lock_guard lock(mutex_);
    faults_.push_back({call, Pattern(std::move(pattern)), error, succeedFirst, failTimes});
}

std::uint64_t FakeFileSystem::freeBytes() const {
    std::lock_guard lock(mutex_);
    return disk_ ? disk_->freeBytes : 0;
}

void FakeFileSystem::limitSpace(std::string pattern, std::uint64_t freeBytes) {
    std::lock_guard lock(mutex_);
    disk_ = Disk{Pattern(std::move(pattern)), freeBytes};
}

int FakeFileSystem::calls(Call call, const std::string& pattern) const {
    const Pattern wanted(pattern);
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& [key, made] : calls_) {
        const auto& [madeCall, first, second] = key;
        if (madeCall == call && (wanted.matches(first) || wanted.matches(second))) count += made;
    }
    return count;
}

std::optional<int> FakeFileSystem::faultFor(Call call, const std::string& first, const std::string& second) {
    std::lock_guard lock(mutex_);
    ++calls_[{call, first, second}];
    for (Fault& fault : faults_) {
        if (fault.call != call || fault.failTimes == 0) continue;
        if (!fault.pattern.matches(first) && !fault.pattern.matches(second)) continue;
        if (fault.succeedFirst > 0) {
            --fault.succeedFirst;
            continue;
        }
        if (fault.failTimes > 0) --fault.failTimes;
        return fault.error;
    }
    return std::nullopt;
}

int FakeFileSystem::open(const fs::path& path, int flags, mode_t mode) {
    if (const auto error = faultFor(Call::Open, path.string())) return failWith(*error);
    return system_.open(path, flags, mode);
}

ssize_t FakeFileSystem::write(int fd, const void* data, std::size_t size) {
    const std::string path = pathOf(fd);
    if (const auto error = faultFor(Call::Write, path)) return failWith(*error);
    std::unique_lock lock(mutex_);
    if (!disk_ || !disk_->pattern.matches(path)) {
        lock.unlock();
        return system_.write(fd, data, size);
    }
    if (disk_->freeBytes == 0) return failWith(ENOSPC);
    const ssize_t written = system_.write(fd, data, std::min<std::uint64_t>(size, disk_->freeBytes));
    if (written > 0) disk_->freeBytes -= static_cast<std::uint64_t>(written);
    return written;
}

int FakeFileSystem::close(int fd) {
    if (const auto error = faultFor(Call::Close, pathOf(fd))) {
        const int result = failWith(*error);
        system_.close(fd);
        errno = *error;
        return result;
    }
    return system_.close(fd);
}

int FakeFileSystem::sync(int fd) {
    if (const auto error = faultFor(Call::Sync, pathOf(fd))) return failWith(*error);
    return system_.sync(fd);
}

int FakeFileSystem::spaceOf(int fd, struct statvfs& figures) {
    const std::string path = pathOf(fd);
    if (const auto error = faultFor(Call::SpaceOf, path)) return failWith(*error);
    {
        std::lock_guard lock(mutex_);
        if (disk_ && disk_->pattern.matches(path)) {
            figures = {};
            figures.f_bsize = figures.f_frsize = BlockBytes;
            figures.f_bavail = figures.f_bfree = disk_->freeBytes / BlockBytes;
            return 0;
        }
    }
    return system_.spaceOf(fd, figures);
}

int FakeFileSystem::rename(const fs::path& from, const fs::path& to) {
    if (const auto error = faultFor(Call::Rename, from.string(), to.string())) return failWith(*error);
    return system_.rename(from, to);
}

int FakeFileSystem::exchange(const fs::path& first, const fs::path& second) {
    if (const auto error = faultFor(Call::Exchange, first.string(), second.string())) return failWith(*error);
    bool emulate = false;
    {
        std::lock_guard lock(mutex_);
        emulate = emulateExchange_;
    }
    return emulate ? exchangeByRenames(first, second) : system_.exchange(first, second);
}

int FakeFileSystem::exchangeByRenames(const fs::path& first, const fs::path& second) {
    if (!FileOps::itemExists(second)) return failWith(ENOENT);
    const fs::path aside = FileOps::freeSiblingName(first);
    if (system_.rename(first, aside) != 0) return -1;
    if (system_.rename(second, first) != 0) {
        const int error = errno;
        system_.rename(aside, first);
        return failWith(error);
    }
    return system_.rename(aside, second);
}

int FakeFileSystem::remove(const fs::path& path) {
    if (const auto error = faultFor(Call::Remove, path.string())) return failWith(*error);
    return system_.remove(path);
}

}  // namespace hexora::test
