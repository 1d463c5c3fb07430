#include "services/archive/ZipExtraction.hpp"

#include "platform/FileOps.hpp"
#include "services/archive/EntryWriter.hpp"
#include "services/archive/ExtractionProgress.hpp"
#include "services/archive/TreeContainment.hpp"
#include "services/internal/FreeSpaceReserve.hpp"

#include <algorithm>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace hexora::Archive {
namespace fs = std::filesystem;
using ZipExtract::Error;
using Kind = ZipEntry::Kind;

namespace {

bool isInside(const fs::path& candidate, const fs::path& root) {
    auto [rootEnd, candidateIt] = std::mismatch(root.begin(), root.end(), candidate.begin(), candidate.end());
    return rootEnd == root.end();
}

// The refusal of link targets that can be told from the archive alone.
void checkLinkForm(const ZipEntry& entry, const std::string& target) {
    if (target.empty() || target.find('\0') != std::string::npos || target.front() == '/' ||
        target.find('\\') != std::string::npos)
        throw Error("symbolic link points outside the target folder: " + entry.name + " -> " + target);
    const fs::path resolved = (entry.relative.parent_path() / target).lexically_normal();
    if (!resolved.empty() && *resolved.begin() == "..")
        throw Error("symbolic link points outside the target folder: " + entry.name + " -> " + target);
}

void removeExistingItem(const fs::path& path, const std::string& entryName) {
    if (!FileOps::itemExists(path)) return;
    if (FileOps::isFolder(path)) throw Error("a folder stands where the archive has a file: " + entryName);
    std::error_code code;
    fs::remove(path, code);
    if (code) throw Error("cannot replace " + path.string() + ": " + code.message());
}

void setTimes(const fs::path& path, std::time_t mtime, int flags) {
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, flags);
}

}  // namespace

ZipExtraction::ZipExtraction(const fs::path& zipPath, const fs::path& targetFolder,
                             const ZipExtract::Callbacks& callbacks, ThreadBudget& budget)
    : zipPath_(zipPath), targetFolder_(targetFolder), callbacks_(callbacks), budget_(budget), reader_(zipPath, true) {}

void ZipExtraction::run() {
    scan();
    try {
        makeTarget();
        makeFolders();
        checkDeclaredSpace();
        ExtractionProgress progress(totalBytes_, callbacks_.onProgress);
        writeFiles(progress);
        makeLinks(progress);
        checkContainment();
        finishFolders();
        progress.finish();
    } catch (const std::exception&) {
        // A full disk, a bad entry or a cancel: nothing half-unpacked stays.
        removeCreated();
        throw;
    }
}

// The target folder and its missing parents; those made here are taken away
// again after a failure.
void ZipExtraction::makeTarget() {
    std::vector<fs::path> missing;
    for (fs::path each = targetFolder_; !each.empty() && !FileOps::itemExists(each); each = each.parent_path()) {
        missing.push_back(each);
        if (each == each.parent_path()) break;
    }
    std::error_code code;
    fs::create_directories(targetFolder_, code);
    noteCreatedFolders(missing);
    if (code) throw Error("cannot create " + targetFolder_.string() + ": " + code.message());
    root_ = fs::canonical(targetFolder_, code);
    if (code) throw Error("cannot resolve " + targetFolder_.string() + ": " + code.message());
}

void ZipExtraction::noteCreatedFolders(const std::vector<fs::path>& missing) {
    for (const fs::path& made : missing) {
        if (!FileOps::isFolder(made)) continue;
        std::error_code code;
        fs::path real = fs::canonical(made, code);
        if (!code) createdFolders_.push_back(std::move(real));
    }
}

bool ZipExtraction::cancelled() const { return callbacks_.isCancelled && callbacks_.isCancelled(); }

void ZipExtraction::checkCancelled() const {
    if (cancelled()) throw Error("extraction cancelled");
}

void ZipExtraction::scan() {
    const zip_uint64_t count = reader_.count();
    entries_.reserve(count);
    linkTargets_.resize(count);
    for (zip_uint64_t i = 0; i < count; ++i) {
        ZipEntry entry = reader_.describe(i);
        const auto relative = ZipExtract::safeRelativePath(entry.name);
        if (!relative) throw Error("unsafe entry path in archive: " + entry.name);
        entry.relative = *relative;
        if (entry.kind == Kind::Link) {
            linkTargets_[i] = reader_.readLinkTarget(entry);
            checkLinkForm(entry, linkTargets_[i]);
        }
        directoryBytes_ += entry.directoryBytes;
        entries_.push_back(std::move(entry));
    }
}

// Makes `relativeFolder` (below the root) and its parents, then makes sure
// the result on disk, links resolved, is still inside the root. Folders it
// creates are noted, resolved, for removeCreated().
fs::path ZipExtraction::prepareFolder(const fs::path& relativeFolder, const std::string& entryName) {
    const fs::path folder = root_ / relativeFolder;
    std::error_code code;
    std::vector<fs::path> missing;
    for (fs::path each = folder; each != root_ && isInside(each, root_); each = each.parent_path()) {
        if (FileOps::itemExists(each)) break;
        missing.push_back(each);
    }
    fs::create_directories(folder, code);
    noteCreatedFolders(missing);
    if (code) throw Error("cannot create " + folder.string() + ": " + code.message());
    const fs::path real = fs::canonical(folder, code);
    if (code || !isInside(real, root_)) throw Error("entry leaves the target folder: " + entryName);
    return real;
}

void ZipExtraction::makeFolders() {
    std::unordered_map<std::string, fs::path> prepared;
    auto folderFor = [&](const fs::path& relative, const std::string& name) -> const fs::path& {
        auto found = prepared.find(relative.native());
        if (found == prepared.end()) found = prepared.emplace(relative.native(), prepareFolder(relative, name)).first;
        return found->second;
    };
    for (const ZipEntry& entry : entries_) {
        if (entry.kind != Kind::Folder) continue;
        checkCancelled();
        const fs::path& real = folderFor(entry.relative, entry.name);
        if (real != root_) folders_.push_back({real, &entry});
    }
    // A name given twice is written once, with the later entry (as a
    // one-by-one extraction would leave it).
    std::unordered_map<std::string, std::size_t> planned;
    for (const ZipEntry& entry : entries_) {
        if (entry.kind == Kind::Folder) continue;
        totalBytes_ += entry.size;
        if (entry.kind != Kind::File) continue;
        const fs::path path = folderFor(entry.relative.parent_path(), entry.name) / entry.relative.filename();
        const auto [at, added] = planned.emplace(path.native(), files_.size());
        if (added) {
            files_.push_back({&entry, path});
        } else {
            totalBytes_ -= files_[at->second].entry->size;
            files_[at->second].entry = &entry;
        }
    }
}

// The declared sizes against the space beside the reserve, before any file
// is written (the folders are made by now, so their blocks are counted).
void ZipExtraction::checkDeclaredSpace() const {
    if (callbacks_.keepFreeBytes == 0) return;
    const FileDescriptor folder(::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return;
    const auto usable = FreeSpaceReserve::usableBytes(folder.get());
    if (!usable) return;
    const std::uint64_t beside = *usable > callbacks_.keepFreeBytes ? *usable - callbacks_.keepFreeBytes : 0;
    if (totalBytes_ > beside)
        throw Error("not enough free space to unzip into " + targetFolder_.string() + ": the package holds " +
                    std::to_string(totalBytes_) + " bytes, " + std::to_string(beside) +
                    " bytes are free beside the reserve of " + std::to_string(callbacks_.keepFreeBytes) + " bytes");
}

void ZipExtraction::failWith(const std::string& description) {
    std::lock_guard lock(failureMutex_);
    if (failed_.load()) return;
    failure_ = description.empty() ? "unzip failed" : description;
    failed_.store(true);
}

void ZipExtraction::writeShare(ZipReader& reader, ExtractionProgress& progress) {
    EntryWriter writer(reader, progress, [this] { return failed_.load() || cancelled(); }, callbacks_.keepFreeBytes);
    for (;;) {
        if (failed_.load()) return;
        const std::size_t at = nextFile_.fetch_add(1);
        if (at >= files_.size()) return;
        removeExistingItem(files_[at].path, files_[at].entry->name);
        // From here on whatever stands at the path is this extraction's own.
        files_[at].created = true;
        writer.write(*files_[at].entry, files_[at].path);
    }
}

bool ZipExtraction::helpersOpenOwnHandles(std::size_t helpers) const {
    const std::size_t most = std::min(helpers, budget_.limit());
    return most == 0 || directoryBytes_ <= OwnHandlesBytes / most;
}

void ZipExtraction::writeFiles(ExtractionProgress& progress) {
    // Largest first, so that no thread is left alone with a large entry at the end.
    std::stable_sort(files_.begin(), files_.end(),
                     [](const PlannedFile& a, const PlannedFile& b) { return a.entry->size > b.entry->size; });
    auto share = [this, &progress](ZipReader& reader) {
        try {
            writeShare(reader, progress);
        } catch (const std::exception& error) {
            failWith(error.what());
        }
    };
    std::vector<std::thread> helpers;
    const std::size_t wanted = files_.empty() ? 0 : files_.size() - 1;
    const bool ownHandle = helpersOpenOwnHandles(wanted);
    while (helpers.size() < wanted && budget_.tryAcquire()) {
        try {
            helpers.emplace_back([this, share, ownHandle] {
                // A helper that cannot open a handle of its own reads through the shared one.
                std::optional<ZipReader> reader;
                try {
                    if (ownHandle) reader.emplace(zipPath_, false);
                } catch (const std::exception&) {
                }
                share(reader ? *reader : reader_);
                budget_.release();
            });
        } catch (const std::system_error&) {
            budget_.release();
            break;
        }
    }
    share(reader_);
    for (auto& helper : helpers) helper.join();
    if (failed_.load()) throw Error(failure_);
}

void ZipExtraction::makeLinks(ExtractionProgress& progress) {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].kind == Kind::Link) makeLink(entries_[i], linkTargets_[i], progress);
}

void ZipExtraction::makeLink(const ZipEntry& entry, const std::string& target, ExtractionProgress& progress) {
    checkCancelled();
    const fs::path folder = prepareFolder(entry.relative.parent_path(), entry.name);
    std::error_code code;
    const fs::path resolved = fs::weakly_canonical(folder / target, code);
    if (code || !isInside(resolved, root_))
        throw Error("symbolic link points outside the target folder: " + entry.name + " -> " + target);
    const fs::path path = folder / entry.relative.filename();
    removeExistingItem(path, entry.name);
    fs::create_symlink(target, path, code);
    if (code) throw Error("cannot create link " + path.string() + ": " + code.message());
    createdLinks_.push_back(path);
    if (entry.mtime) setTimes(path, *entry.mtime, AT_SYMLINK_NOFOLLOW);
    progress.add(entry.size);
}

// Links that are harmless one by one can lead outside together; with all of
// them on disk, every entry must still resolve inside the folder.
void ZipExtraction::checkContainment() const {
    for (const ZipEntry& entry : entries_) {
        if (!TreeContainment::resolvesInside(root_, entry.relative))
            throw Error("symbolic links lead outside the target folder: " + entry.name);
    }
}

// Takes away everything this extraction made: links, then files, then the
// folders it created (deepest first, only when empty). The paths were noted
// resolved, so nothing is followed through a link.
void ZipExtraction::removeCreated() {
    for (auto it = createdLinks_.rbegin(); it != createdLinks_.rend(); ++it) ::unlink(it->c_str());
    for (const PlannedFile& file : files_)
        if (file.created) ::unlink(file.path.c_str());
    std::sort(createdFolders_.begin(), createdFolders_.end(),
              [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
    for (const fs::path& folder : createdFolders_) ::rmdir(folder.c_str());
}

// Folder permissions and times last: writing into a folder changes its time,
// and a read-only folder could not take its files.
void ZipExtraction::finishFolders() {
    std::sort(folders_.begin(), folders_.end(), [](const auto& a, const auto& b) {
        return std::distance(a.first.begin(), a.first.end()) > std::distance(b.first.begin(), b.first.end());
    });
    for (const auto& [path, entry] : folders_) {
        if (entry->mode) ::chmod(path.c_str(), *entry->mode | S_IRWXU);
        if (entry->mtime) setTimes(path, *entry->mtime, 0);
    }
}

}  // namespace hexora::Archive
