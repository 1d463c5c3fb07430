#include "workers/common/patch/PatchGuard.hpp"

#include "platform/FileOps.hpp"
#include "services/archive/TreeContainment.hpp"
#include "workers/common/patch/PatchSteps.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace hexora::Worker::Common::PatchGuard {
namespace fs = std::filesystem;

namespace {

bool isBelow(const fs::path& root, const fs::path& path) {
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

std::string linkText(const fs::path& link) {
    std::error_code error;
    return link.string() + " -> " + fs::read_symlink(link, error).string();
}

// The ancestors of `path` strictly below `ownedRoot`, top first; empty when
// `ownedRoot` is empty or does not hold `path`.
std::vector<fs::path> ancestorsBelow(const fs::path& ownedRoot, const fs::path& path) {
    std::vector<fs::path> ancestors;
    if (ownedRoot.empty() || !isBelow(ownedRoot, path)) return ancestors;
    for (fs::path each = path.parent_path(); each != ownedRoot && isBelow(ownedRoot, each); each = each.parent_path())
        ancestors.push_back(each);
    std::reverse(ancestors.begin(), ancestors.end());
    return ancestors;
}

}  // namespace

void requireFolder(const fs::path& folder) {
    if (FileOps::isFolder(folder)) return;
    if (FileOps::itemExists(folder)) throw std::runtime_error("not a folder (a link or a file): " + folder.string());
    throw fs::filesystem_error("no such folder", folder, std::make_error_code(std::errc::no_such_file_or_directory));
}

void requireLinkInsideBundle(const fs::path& contents, const fs::path& relative) {
    const fs::path bundle = fs::canonical(contents.parent_path());
    if (!Archive::TreeContainment::resolvesInside(bundle, contents.filename() / relative))
        throw std::runtime_error("symbolic link leads out of the bundle: " + linkText(contents / relative));
}

void requireLinksInsideBundle(const fs::path& contents) {
    requireFolder(contents);
    for (const auto& entry : fs::recursive_directory_iterator(contents)) {
        if (entry.is_symlink()) requireLinkInsideBundle(contents, entry.path().lexically_relative(contents));
    }
}

void requireParentInside(const fs::path& root, const fs::path& target) {
    fs::path holder = target.parent_path();
    while (!holder.empty() && !FileOps::itemExists(holder)) holder = holder.parent_path();
    std::error_code error;
    const fs::path resolvedRoot = fs::canonical(root, error);
    const fs::path resolved = error ? fs::path() : fs::canonical(holder, error);
    if (error || !isBelow(resolvedRoot, resolved))
        throw std::runtime_error("the way to " + target.string() + " leads out of " + root.string() +
                                 " through a symbolic link");
}

void clearWayBelow(const fs::path& ownedRoot, const fs::path& path) {
    for (const fs::path& ancestor : ancestorsBelow(ownedRoot, path)) {
        if (!FileOps::itemExists(ancestor) || FileOps::isFolder(ancestor)) continue;
        FileOps::removeAll(ancestor);  // a file or a link: never a folder
        PatchSteps::stepDone("item in the way deleted");
    }
}

void requireFoldersBelow(const fs::path& ownedRoot, const fs::path& path) {
    for (const fs::path& ancestor : ancestorsBelow(ownedRoot, path)) requireFolder(ancestor);
}

}  // namespace hexora::Worker::Common::PatchGuard
