#pragma once
// A scheme file on disk and the scheme loaded from it.
//
// Thread: one object is used by one thread at a time. Nothing here throws.
#include "services/file/SchemeFormat.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace hexora {

class Schemes {
public:
    /// The largest scheme file read or unpacked: 32 MiB. A scheme lists a
    /// name, a folder and a 40-digit hash per file, about 150 bytes each, so
    /// the bound holds some 200,000 files, forty times a full game bundle,
    /// while keeping a hostile or broken file (a small gzip that inflates to
    /// gigabytes) from filling the disk or the memory of the JSON decoder.
    static constexpr std::uintmax_t MaxFileBytes = 32u << 20;
    /// The largest gzip-compressed scheme fetched: a scheme of MaxFileBytes
    /// and 1 MiB. Deflate never grows data by more than 5 bytes in 16 KiB
    /// (its stored blocks), and gzip adds a header and trailer of a few
    /// dozen bytes, so the margin holds any sound file; an endless or
    /// oversized body stops here instead of at the disk's free-space reserve.
    static constexpr std::uintmax_t MaxArchiveBytes = MaxFileBytes + (1u << 20);

    /// `scheme` starts absent; nothing is read until load().
    explicit Schemes(std::filesystem::path path);
    virtual ~Schemes() = default;

    const std::filesystem::path& path() const { return path_; }

    /// The loaded scheme; absent when nothing was loaded or the file did not decode.
    std::optional<SchemeFormat> scheme;

    /// Reads the file when its path is a non-empty regular file: `scheme`
    /// becomes the decoded scheme, or absent when the file does not decode (the
    /// file stays on disk); a read failure, or a file above MaxFileBytes, logs
    /// "cannot load scheme : <reason>" and leaves `scheme` as it was (the file
    /// stays on disk). A missing path, a folder or an empty file
    /// is removed and the parent folder created; `scheme` stays as it was.
    /// Returns this object.
    Schemes& load();

private:
    std::filesystem::path path_;
};

}  // namespace hexora
