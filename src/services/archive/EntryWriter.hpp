#pragma once
// Writes file entries of a package, one after the other, on one thread: the
// thread's own inflater and two bounded buffers (128 KiB in, 256 KiB out)
// whatever the entry's size, reading through the package handle it is given
// (its thread's own, or one the threads share). Deflated entries are inflated
// here (RawInflate); stored ones are copied; any other method is inflated by
// libzip. Every entry's size and CRC-32 are checked against the directory.
//
// Thread: one writer per thread. Failures throw ZipExtract::Error; the file
// written so far stays (the caller decides what to take away).
#include "services/archive/ExtractionProgress.hpp"
#include "services/archive/RawInflate.hpp"
#include "services/archive/ZipEntry.hpp"
#include "services/archive/ZipExtract.hpp"
#include "services/archive/ZipReader.hpp"
#include "services/internal/FreeSpaceReserve.hpp"

#include <filesystem>
#include <functional>
#include <vector>

namespace hexora::Archive {

class EntryWriter {
public:
    /// `reader` and `progress` outlive the writer; `isCancelled` is looked at
    /// before every chunk (may be empty). No file is made nor chunk written
    /// that would leave less than `keepFreeBytes` free on its file system (0:
    /// no reserve; a new file counts one block); such a one throws Error.
    EntryWriter(ZipReader& reader, ExtractionProgress& progress, std::function<bool()> isCancelled,
                std::uint64_t keepFreeBytes = 0);

    /// Writes `entry` to a new file at `path` (nothing may stand there; a
    /// link there is never written through). Sets the entry's permission bits
    /// (0644 when it has none) and time.
    void write(const ZipEntry& entry, const std::filesystem::path& path);

private:
    std::uint64_t inflateInto(ZipReader::EntryStream& stream, const ZipEntry& entry, int fd,
                              const std::filesystem::path& path);
    std::uint64_t copyInto(ZipReader::EntryStream& stream, const ZipEntry& entry, int fd,
                           const std::filesystem::path& path, std::uint32_t& crc);
    void output(const ZipEntry& entry, int fd, const std::filesystem::path& path, const std::uint8_t* data,
                std::size_t size, std::uint64_t& written);
    void checkCancelled() const;
    ZipExtract::Error noRoom(const std::filesystem::path& path) const;

    /// What a new file counts against the reserve before its bytes: one block.
    static constexpr std::uint64_t NewFileBytes = 4096;

    ZipReader& reader_;
    ExtractionProgress& progress_;
    std::function<bool()> isCancelled_;
    FreeSpaceReserve freeSpace_;
    RawInflate inflater_;
    std::vector<std::uint8_t> input_;
    std::vector<std::uint8_t> output_;
};

}  // namespace hexora::Archive
