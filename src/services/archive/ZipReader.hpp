#pragma once
// One open handle on a zip package (libzip), shared by the threads of an
// extraction: the central directory read into ZipEntry records, link
// targets, and the entry data read in chunks, either as stored (for
// inflating by the caller) or as libzip inflates it. The directory is held
// once, however many threads read.
//
// Thread: any thread; libzip is not safe for concurrent use of one archive,
// so every call on the reader and on its streams takes the reader's lock for
// the libzip work it does (a chunk read, not the caller's inflating). Several
// streams may be open at once. Failures throw ZipExtract::Error with a
// description that names the package or the entry.
#include "services/archive/ZipEntry.hpp"

#include <zip.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace hexora::Archive {

class ZipReader {
public:
    /// Opens the package; `checkConsistency` runs libzip's consistency check
    /// of the whole directory (done once per extraction).
    ZipReader(const std::filesystem::path& zipPath, bool checkConsistency);

    /// The number of entries.
    zip_uint64_t count() const;
    /// The entry at `index`; its `relative` is left empty.
    ZipEntry describe(zip_uint64_t index) const;
    /// The target of a link entry (at most 4096 bytes).
    std::string readLinkTarget(const ZipEntry& entry) const;

    /// Reads one entry's bytes in chunks.
    class EntryStream {
    public:
        /// Up to `size` bytes into `buffer`; 0 at the end of the entry.
        std::size_t read(void* buffer, std::size_t size);
        /// Ends the read; libzip's own checks (the CRC of an entry it
        /// inflated) fail here.
        void close();

    private:
        friend class ZipReader;
        // Closes a stream left open under the reader's lock.
        struct LockedCloser {
            std::mutex* lock;
            void operator()(zip_file_t* file) const;
        };
        EntryStream(zip_file_t* file, std::string name, std::mutex& lock)
            : file_(file, LockedCloser{&lock}), name_(std::move(name)) {}
        std::mutex& lock() const { return *file_.get_deleter().lock; }
        std::unique_ptr<zip_file_t, LockedCloser> file_;
        std::string name_;
    };

    /// The entry's data as stored in the package (for a deflated entry, the
    /// raw deflate stream), or as libzip inflates it when `stored` is false.
    EntryStream open(const ZipEntry& entry, bool stored) const;

private:
    struct Closer {
        void operator()(zip_t* archive) const { zip_discard(archive); }
    };
    std::filesystem::path path_;
    std::unique_ptr<zip_t, Closer> archive_;
    /// Guards every libzip call on archive_ and on its open files.
    mutable std::mutex lock_;
};

}  // namespace hexora::Archive
