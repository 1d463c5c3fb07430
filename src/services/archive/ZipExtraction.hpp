#pragma once
// One extraction of a package into a folder (the work behind
// ZipExtract::extract), in phases:
//   1. scan: every entry described and its landing path checked; link
//      targets read and checked in form; nothing written yet;
//   2. folders: every folder entry and every file's folder made and checked
//      (resolved on disk, inside the target); then the declared sizes checked
//      against the free space beside the caller's reserve;
//   3. files (each chunk within the reserve): written by up to `budget` threads at once (this thread and
//      helpers taken from the budget when free), largest entries first; each
//      helper opens a package handle of its own while the copies of the
//      directory they hold stay within OwnHandlesBytes, else all read
//      through the one handle (a package of many entries costs its
//      directory once, not once per thread);
//   4. links, one by one, each checked against the disk as it then stands;
//      then every entry is resolved again with all links in place
//      (TreeContainment);
//   5. folder permissions and times.
// A failure after the scan (a full disk, a bad CRC, links that lead out, a
// cancel) takes away everything the extraction made: its links, the files it
// wrote (also a file cut short), the folders it created, the target folder
// included when it made it. What the target held before stays, except files
// the package had already replaced.
// Progress is by bytes written (ExtractionProgress), cancellation is looked
// at between chunks in every thread; the first failure stops all threads.
//
// Thread: run() on the calling thread, which joins its helpers before it
// returns or throws. Failures throw ZipExtract::Error.
#include "services/archive/ThreadBudget.hpp"
#include "services/archive/ZipEntry.hpp"
#include "services/archive/ZipExtract.hpp"
#include "services/archive/ZipReader.hpp"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace hexora::Archive {

class ExtractionProgress;

class ZipExtraction {
public:
    ZipExtraction(const std::filesystem::path& zipPath, const std::filesystem::path& targetFolder,
                  const ZipExtract::Callbacks& callbacks, ThreadBudget& budget);

    void run();

    /// At most this much memory goes to the helpers' own copies of the
    /// package's directory (about 25,000 short-named entries for 7 helpers).
    static constexpr std::uint64_t OwnHandlesBytes = 96ull << 20;

private:
    struct PlannedFile {
        const ZipEntry* entry;
        std::filesystem::path path;  // resolved folder + name
        /// Set by the one thread that writes the file (read after the join).
        bool created = false;
    };

    void scan();
    void makeTarget();
    void noteCreatedFolders(const std::vector<std::filesystem::path>& missing);
    void makeFolders();
    void checkDeclaredSpace() const;
    void writeFiles(ExtractionProgress& progress);
    void writeShare(ZipReader& reader, ExtractionProgress& progress);
    bool helpersOpenOwnHandles(std::size_t helpers) const;
    void failWith(const std::string& description);
    void makeLinks(ExtractionProgress& progress);
    void makeLink(const ZipEntry& entry, const std::string& target, ExtractionProgress& progress);
    void checkContainment() const;
    void removeCreated();
    void finishFolders();
    std::filesystem::path prepareFolder(const std::filesystem::path& relativeFolder, const std::string& entryName);
    bool cancelled() const;
    void checkCancelled() const;

    std::filesystem::path zipPath_;
    std::filesystem::path targetFolder_;
    const ZipExtract::Callbacks& callbacks_;
    ThreadBudget& budget_;
    ZipReader reader_;
    std::filesystem::path root_;
    std::vector<ZipEntry> entries_;
    std::vector<std::string> linkTargets_;
    std::vector<PlannedFile> files_;
    std::vector<std::pair<std::filesystem::path, const ZipEntry*>> folders_;
    std::vector<std::filesystem::path> createdLinks_;
    std::vector<std::filesystem::path> createdFolders_;
    std::uint64_t totalBytes_ = 0;
    std::uint64_t directoryBytes_ = 0;

    std::atomic<std::size_t> nextFile_{0};
    std::atomic<bool> failed_{false};
    std::mutex failureMutex_;
    std::string failure_;
};

}  // namespace hexora::Archive
