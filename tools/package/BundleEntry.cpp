#include "package/BundleEntry.hpp"

#include "services/internal/SHA1.hpp"

#include <algorithm>
#include <stdexcept>
#include <sys/stat.h>

namespace hexora::tools {
namespace fs = std::filesystem;

namespace {

BundleEntry entryFor(const fs::path& bundle, const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) throw std::runtime_error("cannot read " + path.string());
    BundleEntry entry;
    entry.relative = path.lexically_relative(bundle);
    entry.absolute = path;
    entry.permissions = info.st_mode & 07777;
    if (S_ISDIR(info.st_mode)) {
        entry.kind = BundleEntry::Kind::Folder;
    } else if (S_ISLNK(info.st_mode)) {
        entry.kind = BundleEntry::Kind::Link;
        entry.linkTarget = fs::read_symlink(path).string();
        std::error_code error;
        if (fs::is_regular_file(path, error)) entry.hash = SHA1::sha1HexOfPath(path);
    } else if (S_ISREG(info.st_mode)) {
        entry.kind = BundleEntry::Kind::File;
        entry.hash = SHA1::sha1HexOfPath(path);
        if (!entry.hash) throw std::runtime_error("cannot hash " + path.string());
    } else {
        throw std::runtime_error("neither folder, file nor link: " + path.string());
    }
    return entry;
}

}  // namespace

std::vector<BundleEntry> listBundle(const fs::path& bundle) {
    std::error_code error;
    if (!fs::is_directory(bundle, error)) throw std::runtime_error("not a folder: " + bundle.string());
    std::vector<fs::path> paths;
    for (fs::recursive_directory_iterator it(bundle, error), end; !error && it != end; it.increment(error))
        paths.push_back(it->path());
    if (error) throw std::runtime_error("cannot list " + bundle.string() + ": " + error.message());
    std::sort(paths.begin(), paths.end());
    std::vector<BundleEntry> entries;
    entries.reserve(paths.size());
    for (const auto& path : paths) entries.push_back(entryFor(bundle, path));
    return entries;
}

bool isUnchanged(const BundleEntry& entry, const std::vector<BundleEntry>& base) {
    const auto old = std::find_if(base.begin(), base.end(),
                                  [&](const BundleEntry& candidate) { return candidate.relative == entry.relative; });
    if (old == base.end() || old->kind != entry.kind || old->permissions != entry.permissions) return false;
    if (entry.kind == BundleEntry::Kind::Link) return old->linkTarget == entry.linkTarget;
    return old->hash == entry.hash;
}

}  // namespace hexora::tools
