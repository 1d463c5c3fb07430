#pragma once
// Streaming gzip decompression over zlib for the gunzip worker.
//
// Thread: any thread; nothing is shared between calls.
#include <cstdint>
#include <filesystem>
#include <stdexcept>

namespace hexora::Archive::GzipInflate {

/// A read, decompression or write error; what() is the description used in
/// the gunzip records.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// True when the file at `path` begins with the gzip magic bytes 0x1f 0x8b.
/// Throws Error when the file cannot be opened or read (a missing source is
/// an error, unlike a file that merely holds something else).
bool hasGzipMagic(const std::filesystem::path& path);

/// Decompresses `source` into a new file `target` (which must not exist),
/// chunk by chunk in constant memory, with window bits 47 (gzip or zlib
/// header recognised). Concatenated gzip members are decompressed one after
/// the other. Throws Error on a read error, corrupt or truncated data, data
/// that inflates to more than `maxOutputBytes` (stopped as soon as the bound
/// is passed, so a small bomb cannot fill the disk), or a write error such as
/// a full disk; `target` is then removed again.
void inflateFile(const std::filesystem::path& source, const std::filesystem::path& target,
                 std::uintmax_t maxOutputBytes);

}  // namespace hexora::Archive::GzipInflate
