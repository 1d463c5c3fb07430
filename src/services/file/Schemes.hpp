#pragma once
// A scheme file on disk and the scheme loaded from it.
//
// Thread: one object is used by one thread at a time. Nothing here throws.
#include "services/file/SchemeFormat.hpp"

#include <filesystem>
#include <optional>

namespace hexora {

class Schemes {
public:
    /// `scheme` starts absent; nothing is read until load().
    explicit Schemes(std::filesystem::path path);
    virtual ~Schemes() = default;

    const std::filesystem::path& path() const { return path_; }

    /// The loaded scheme; absent when nothing was loaded or the file did not decode.
    std::optional<SchemeFormat> scheme;

    /// Reads the file when its path is a non-empty regular file: `scheme`
    /// becomes the decoded scheme, or absent when the file does not decode (the
    /// file stays on disk); a read failure logs "cannot load scheme : <reason>"
    /// and leaves `scheme` as it was. A missing path, a folder or an empty file
    /// is removed and the parent folder created; `scheme` stays as it was.
    /// Returns this object.
    Schemes& load();

private:
    std::filesystem::path path_;
};

}  // namespace hexora
