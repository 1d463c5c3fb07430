#include "services/archive/ZipExtract.hpp"

#include "services/archive/TreeContainment.hpp"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace hexora::Archive::ZipExtract {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t ChunkSize = 256 * 1024;
constexpr std::size_t MaxLinkTargetSize = 4096;
constexpr zip_uint16_t ExtendedTimestampId = 0x5455;

enum class Kind { File, Folder, Link };

struct Entry {
    zip_uint64_t index = 0;
    std::string name;
    fs::path relative;
    Kind kind = Kind::File;
    std::optional<mode_t> mode;  // permission bits, when made on Unix
    std::optional<std::time_t> mtime;
    zip_uint64_t size = 0;
};

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using EntryFile = std::unique_ptr<zip_file_t, EntryCloser>;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

std::string archiveError(zip_t* archive) { return zip_error_strerror(zip_get_error(archive)); }

std::string entryError(zip_file_t* file) { return zip_error_strerror(zip_file_get_error(file)); }

std::string systemError(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

bool isInside(const fs::path& candidate, const fs::path& root) {
    auto [rootEnd, candidateIt] = std::mismatch(root.begin(), root.end(), candidate.begin(), candidate.end());
    return rootEnd == root.end();
}

std::optional<std::time_t> extendedMtime(zip_t* archive, zip_uint64_t index) {
    for (zip_flags_t where : {ZIP_FL_CENTRAL, ZIP_FL_LOCAL}) {
        zip_uint16_t length = 0;
        const zip_uint8_t* data =
            zip_file_extra_field_get_by_id(archive, index, ExtendedTimestampId, 0, &length, where);
        if (data && length >= 5 && (data[0] & 1)) {
            const std::uint32_t value = static_cast<std::uint32_t>(data[1]) | (static_cast<std::uint32_t>(data[2]) << 8) |
                                        (static_cast<std::uint32_t>(data[3]) << 16) |
                                        (static_cast<std::uint32_t>(data[4]) << 24);
            return static_cast<std::time_t>(static_cast<std::int32_t>(value));
        }
    }
    return std::nullopt;
}

Entry describe(zip_t* archive, zip_uint64_t index) {
    Entry entry;
    entry.index = index;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, ZIP_FL_ENC_GUESS, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
        throw Error("cannot read entry " + std::to_string(index) + ": " + archiveError(archive));
    entry.name = stat.name;
    if (stat.valid & ZIP_STAT_SIZE) entry.size = stat.size;

    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    mode_t type = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) == 0 && opsys == ZIP_OPSYS_UNIX) {
        const mode_t unixMode = static_cast<mode_t>(attributes >> 16);
        type = unixMode & S_IFMT;
        if ((unixMode & 0777) != 0) entry.mode = unixMode & 0777;
    }
    if (!entry.name.empty() && entry.name.back() == '/') entry.kind = Kind::Folder;
    else if (type == S_IFLNK) entry.kind = Kind::Link;
    else if (type == S_IFDIR) entry.kind = Kind::Folder;

    entry.mtime = extendedMtime(archive, index);
    if (!entry.mtime && (stat.valid & ZIP_STAT_MTIME)) entry.mtime = stat.mtime;

    const auto relative = safeRelativePath(entry.name);
    if (!relative) throw Error("unsafe entry path in archive: " + entry.name);
    entry.relative = *relative;
    return entry;
}

std::string readLinkTarget(zip_t* archive, const Entry& entry) {
    if (entry.size > MaxLinkTargetSize) throw Error("symbolic link target too long: " + entry.name);
    EntryFile file(zip_fopen_index(archive, entry.index, 0));
    if (!file) throw Error("cannot open entry " + entry.name + ": " + archiveError(archive));
    std::string target(static_cast<std::size_t>(entry.size), '\0');
    std::size_t done = 0;
    while (done < target.size()) {
        const zip_int64_t got = zip_fread(file.get(), target.data() + done, target.size() - done);
        if (got < 0) throw Error("cannot read entry " + entry.name + ": " + entryError(file.get()));
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    char rest;
    if (zip_fread(file.get(), &rest, 1) < 0) throw Error("cannot read entry " + entry.name + ": " + entryError(file.get()));
    target.resize(done);
    return target;
}

// The refusal of link targets that can be told from the archive alone.
void checkLinkForm(const Entry& entry, const std::string& target) {
    if (target.empty() || target.find('\0') != std::string::npos || target.front() == '/' ||
        target.find('\\') != std::string::npos)
        throw Error("symbolic link points outside the target folder: " + entry.name + " -> " + target);
    const fs::path resolved = (entry.relative.parent_path() / target).lexically_normal();
    if (!resolved.empty() && *resolved.begin() == "..")
        throw Error("symbolic link points outside the target folder: " + entry.name + " -> " + target);
}

class Extraction {
public:
    Extraction(const fs::path& zipPath, const fs::path& targetFolder, const Callbacks& callbacks)
        : zipPath_(zipPath), callbacks_(callbacks) {
        int code = 0;
        archive_.reset(zip_open(zipPath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
        if (!archive_) {
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            const std::string text = zip_error_strerror(&error);
            zip_error_fini(&error);
            throw Error("cannot open archive " + zipPath.string() + ": " + text);
        }
        std::error_code fsCode;
        fs::create_directories(targetFolder, fsCode);
        if (fsCode) throw Error("cannot create " + targetFolder.string() + ": " + fsCode.message());
        root_ = fs::canonical(targetFolder, fsCode);
        if (fsCode) throw Error("cannot resolve " + targetFolder.string() + ": " + fsCode.message());
    }

    void run() {
        scan();
        for (const Entry& entry : entries_) {
            if (entry.kind == Kind::Folder) makeFolder(entry);
            else if (entry.kind == Kind::File) writeFile(entry);
        }
        try {
            for (std::size_t i = 0; i < entries_.size(); ++i)
                if (entries_[i].kind == Kind::Link) makeLink(entries_[i], linkTargets_[i]);
            checkContainment();
        } catch (const Error&) {
            removeCreated();
            throw;
        }
        finishFolders();
        report(1.0);
    }

private:
    void scan() {
        const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
        if (count < 0) throw Error("cannot read archive " + zipPath_.string() + ": " + archiveError(archive_.get()));
        entries_.reserve(static_cast<std::size_t>(count));
        linkTargets_.resize(static_cast<std::size_t>(count));
        for (zip_int64_t i = 0; i < count; ++i) {
            entries_.push_back(describe(archive_.get(), static_cast<zip_uint64_t>(i)));
            const Entry& entry = entries_.back();
            if (entry.kind == Kind::Link) {
                linkTargets_[static_cast<std::size_t>(i)] = readLinkTarget(archive_.get(), entry);
                checkLinkForm(entry, linkTargets_[static_cast<std::size_t>(i)]);
            }
            if (entry.kind != Kind::Folder) totalBytes_ += entry.size;
        }
    }

    void checkCancelled() const {
        if (callbacks_.isCancelled && callbacks_.isCancelled()) throw Error("extraction cancelled");
    }

    void report(double fraction) {
        if (fraction <= reported_) return;
        reported_ = fraction;
        if (callbacks_.onProgress) callbacks_.onProgress(fraction);
    }

    void addWritten(zip_uint64_t bytes) {
        writtenBytes_ += bytes;
        if (totalBytes_ > 0) report(std::min(1.0, static_cast<double>(writtenBytes_) / static_cast<double>(totalBytes_)));
    }

    // Makes `folder` (below the root) and its parents, then makes sure the
    // result on disk, links resolved, is still inside the root.
    fs::path prepareFolder(const fs::path& relativeFolder, const std::string& entryName) {
        const fs::path folder = root_ / relativeFolder;
        std::error_code code;
        std::vector<fs::path> missing;
        for (fs::path each = folder; each != root_ && isInside(each, root_); each = each.parent_path()) {
            if (fs::symlink_status(each, code).type() != fs::file_type::not_found) break;
            missing.push_back(each);
        }
        fs::create_directories(folder, code);
        if (code) throw Error("cannot create " + folder.string() + ": " + code.message());
        const fs::path real = fs::canonical(folder, code);
        if (code || !isInside(real, root_)) throw Error("entry leaves the target folder: " + entryName);
        for (const fs::path& made : missing) createdFolders_.push_back(fs::canonical(made, code));
        return real;
    }

    void makeFolder(const Entry& entry) {
        checkCancelled();
        const fs::path real = prepareFolder(entry.relative, entry.name);
        if (real != root_) folders_.push_back({real, entry});
    }

    void removeExisting(const fs::path& path, const std::string& entryName) {
        std::error_code code;
        const auto status = fs::symlink_status(path, code);
        if (status.type() == fs::file_type::not_found) return;
        if (status.type() == fs::file_type::directory)
            throw Error("a folder stands where the archive has a file: " + entryName);
        fs::remove(path, code);
        if (code) throw Error("cannot replace " + path.string() + ": " + code.message());
    }

    void writeFile(const Entry& entry) {
        checkCancelled();
        const fs::path folder = prepareFolder(entry.relative.parent_path(), entry.name);
        const fs::path path = folder / entry.relative.filename();
        removeExisting(path, entry.name);

        EntryFile file(zip_fopen_index(archive_.get(), entry.index, 0));
        if (!file) throw Error("cannot open entry " + entry.name + ": " + archiveError(archive_.get()));
        Descriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (out.get() < 0) throw Error(systemError("cannot create", path));
        createdItems_.push_back(path);

        std::vector<char> buffer(ChunkSize);
        for (;;) {
            checkCancelled();
            const zip_int64_t got = zip_fread(file.get(), buffer.data(), buffer.size());
            if (got < 0) throw Error("cannot extract " + entry.name + ": " + entryError(file.get()));
            if (got == 0) break;
            const char* data = buffer.data();
            std::size_t left = static_cast<std::size_t>(got);
            while (left > 0) {
                const ssize_t written = ::write(out.get(), data, left);
                if (written < 0 && errno == EINTR) continue;
                if (written < 0) throw Error(systemError("cannot write", path));
                data += written;
                left -= static_cast<std::size_t>(written);
            }
            addWritten(static_cast<zip_uint64_t>(got));
        }
        const int closeCode = zip_fclose(file.release());
        if (closeCode != 0) {
            zip_error_t error;
            zip_error_init_with_code(&error, closeCode);
            const std::string text = zip_error_strerror(&error);
            zip_error_fini(&error);
            throw Error("cannot extract " + entry.name + ": " + text);
        }
        const mode_t mode = entry.mode.value_or(0644);
        if (::fchmod(out.get(), mode) != 0) throw Error(systemError("cannot set permissions of", path));
        if (entry.mtime) {
            const timespec times[2] = {{*entry.mtime, 0}, {*entry.mtime, 0}};
            ::futimens(out.get(), times);
        }
        if (::close(out.release()) != 0) throw Error(systemError("cannot write", path));
    }

    void makeLink(const Entry& entry, const std::string& target) {
        checkCancelled();
        const fs::path folder = prepareFolder(entry.relative.parent_path(), entry.name);
        std::error_code code;
        const fs::path resolved = fs::weakly_canonical(folder / target, code);
        if (code || !isInside(resolved, root_))
            throw Error("symbolic link points outside the target folder: " + entry.name + " -> " + target);
        const fs::path path = folder / entry.relative.filename();
        removeExisting(path, entry.name);
        fs::create_symlink(target, path, code);
        if (code) throw Error("cannot create link " + path.string() + ": " + code.message());
        createdItems_.push_back(path);
        if (entry.mtime) {
            const timespec times[2] = {{*entry.mtime, 0}, {*entry.mtime, 0}};
            ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
        addWritten(entry.size);
    }

    // Links that are harmless one by one can lead outside together; with all
    // of them on disk, every entry must still resolve inside the folder.
    void checkContainment() const {
        for (const Entry& entry : entries_) {
            if (!TreeContainment::resolvesInside(root_, entry.relative))
                throw Error("symbolic links lead outside the target folder: " + entry.name);
        }
    }

    // Takes away everything this extraction made: links, then files, then
    // the folders it created (deepest first, only when empty). The paths
    // were recorded resolved, so nothing is followed through a link.
    void removeCreated() {
        for (auto it = createdItems_.rbegin(); it != createdItems_.rend(); ++it) ::unlink(it->c_str());
        std::sort(createdFolders_.begin(), createdFolders_.end(),
                  [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
        for (const fs::path& folder : createdFolders_) ::rmdir(folder.c_str());
    }

    // Folder permissions and times last: writing into a folder changes its
    // time, and a read-only folder could not take its files.
    void finishFolders() {
        std::sort(folders_.begin(), folders_.end(), [](const auto& a, const auto& b) {
            return std::distance(a.first.begin(), a.first.end()) > std::distance(b.first.begin(), b.first.end());
        });
        for (const auto& [path, entry] : folders_) {
            if (entry.mode) ::chmod(path.c_str(), *entry.mode | S_IRWXU);
            if (entry.mtime) {
                const timespec times[2] = {{*entry.mtime, 0}, {*entry.mtime, 0}};
                ::utimensat(AT_FDCWD, path.c_str(), times, 0);
            }
        }
    }

    fs::path zipPath_;
    const Callbacks& callbacks_;
    Archive archive_;
    fs::path root_;
    std::vector<Entry> entries_;
    std::vector<std::string> linkTargets_;
    std::vector<std::pair<fs::path, Entry>> folders_;
    std::vector<fs::path> createdItems_;
    std::vector<fs::path> createdFolders_;
    zip_uint64_t totalBytes_ = 0;
    zip_uint64_t writtenBytes_ = 0;
    double reported_ = 0.0;
};

bool isDriveLetter(std::string_view part) {
    return part.size() >= 2 && part[1] == ':' &&
           ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z'));
}

}  // namespace

std::optional<fs::path> safeRelativePath(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return std::nullopt;
    fs::path relative;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (isDriveLetter(part)) return std::nullopt;
        if (!part.empty() && part != ".") relative /= std::string(part);
        start = end + 1;
    }
    if (relative.empty()) return std::nullopt;
    return relative;
}

void extract(const fs::path& zipPath, const fs::path& targetFolder, const Callbacks& callbacks) {
    Extraction extraction(zipPath, targetFolder, callbacks);
    extraction.run();
}

}  // namespace hexora::Archive::ZipExtract
