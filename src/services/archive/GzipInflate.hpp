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
/// Throws Error when `path` is not a regular file or cannot be read (a
/// missing source is an error, unlike a file that merely holds something else).
bool hasGzipMagic(const std::filesystem::path& path);

/// Decompresses `source` (a regular file) into a new temporary file next to
/// `target` and returns that file's path; the caller moves it into place.
/// `target` itself is not touched. Works chunk by chunk in constant memory,
/// with window bits 47 (gzip or zlib header recognised); concatenated gzip
/// members are decompressed one after the other. Throws Error on a read
/// error, corrupt or truncated data, data that inflates to more than
/// `maxOutputBytes` (stopped as soon as the bound is passed, so a small bomb
/// cannot fill the disk), or a write error such as a full disk; the
/// temporary file is then removed again.
std::filesystem::path inflateNextTo(const std::filesystem::path& source, const std::filesystem::path& target,
                                    std::uintmax_t maxOutputBytes);

}  // namespace hexora::Archive::GzipInflate
