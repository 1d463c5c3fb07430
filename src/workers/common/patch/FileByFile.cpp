#include "workers/common/patch/FileByFile.hpp"

#include "platform/FileOps.hpp"
#include "workers/common/patch/PatchGuard.hpp"
#include "workers/common/patch/PatchSteps.hpp"

#include <algorithm>
#include <set>
#include <vector>

namespace hexora::Worker::Common::FileByFile {
namespace fs = std::filesystem;
using PatchSteps::stepDone;

namespace {

struct Entry {
    fs::path relative;
    bool folder;  // a folder itself, not a link to one
};

// Every entry below `root`, taken whole before anything moves out of the
// tree, and sorted, so a run always goes the same way and a folder comes
// before what it holds.
std::vector<Entry> sortedEntries(const fs::path& root) {
    std::vector<Entry> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        entries.push_back({entry.path().lexically_relative(root), !entry.is_symlink() && entry.is_directory()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.relative < b.relative; });
    return entries;
}

// Puts one file or link in place; returns whether it was a link.
bool putFile(const fs::path& file, const fs::path& destPath, const fs::path& relative) {
    const fs::path target = destPath / relative;
    PatchGuard::requireParentInside(destPath, target);
    if (FileOps::isFolder(target)) {
        FileOps::removeAll(target);
        stepDone("folder in the way deleted");
    }
    fs::create_directories(target.parent_path());
    const bool link = fs::is_symlink(fs::symlink_status(file));
    FileOps::replaceFile(file, target);
    stepDone("file replaced");
    return link;
}

void makeFolder(const fs::path& destPath, const fs::path& relative) {
    const fs::path target = destPath / relative;
    PatchGuard::requireParentInside(destPath, target);
    if (FileOps::isFolder(target)) return;
    if (FileOps::itemExists(target)) {
        FileOps::removeAll(target);  // a file or a link: never a folder
        stepDone("item in the way deleted");
    }
    fs::create_directory(target);
    stepDone("folder made");
}

// With every link in place: together with the installed ones they still
// stay inside the bundle.
void requireLinksInside(const fs::path& destPath, const std::vector<fs::path>& links) {
    for (const fs::path& link : links) PatchGuard::requireLinkInsideBundle(destPath, link);
}

void removeOthers(const fs::path& destPath, const std::set<fs::path>& wanted) {
    std::vector<fs::path> others;
    for (auto it = fs::recursive_directory_iterator(destPath); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path relative = it->path().lexically_relative(destPath);
        if (wanted.count(relative)) continue;
        others.push_back(it->path());
        if (it->is_directory() && !it->is_symlink()) it.disable_recursion_pending();
    }
    for (const fs::path& other : others) {
        FileOps::removeAll(other);
        stepDone("installed item removed");
    }
}

}  // namespace

void keepUntouchedCopy(const fs::path& destPath, const fs::path& tempPath, const fs::path& ownedPath) {
    if (!FileOps::itemExists(destPath))
        throw fs::filesystem_error("no installed folder to patch", destPath,
                                   std::make_error_code(std::errc::no_such_file_or_directory));
    // Never through a link: neither the installed folder nor, inside the
    // owned folder, the folders that hold it.
    PatchGuard::requireFoldersBelow(ownedPath, destPath);
    PatchGuard::requireFolder(destPath);
    fs::create_directories(tempPath.parent_path());
    FileOps::copyItem(destPath, tempPath);
    stepDone("untouched copy made");
}

void moveFiles(const fs::path& srcPath, const fs::path& destPath) {
    std::vector<fs::path> links;
    for (const Entry& entry : sortedEntries(srcPath)) {
        if (entry.folder) continue;
        if (putFile(srcPath / entry.relative, destPath, entry.relative)) links.push_back(entry.relative);
    }
    requireLinksInside(destPath, links);
}

void replaceAll(const fs::path& srcPath, const fs::path& destPath) {
    PatchGuard::requireFolder(destPath);
    const std::vector<Entry> entries = sortedEntries(srcPath);
    std::set<fs::path> wanted;
    std::vector<fs::path> links;
    for (const Entry& entry : entries) {
        wanted.insert(entry.relative);
        if (entry.folder) {
            makeFolder(destPath, entry.relative);
        } else if (putFile(srcPath / entry.relative, destPath, entry.relative)) {
            links.push_back(entry.relative);
        }
    }
    requireLinksInside(destPath, links);
    removeOthers(destPath, wanted);
}

}  // namespace hexora::Worker::Common::FileByFile
