#pragma once
// What one entry of a zip package is, as read from its central directory.
#include <zip.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace hexora::Archive {

struct ZipEntry {
    enum class Kind { File, Folder, Link };

    zip_uint64_t index = 0;
    /// The name as stored in the package.
    std::string name;
    /// Where it lands below the target folder (see ZipExtract::safeRelativePath).
    std::filesystem::path relative;
    Kind kind = Kind::File;
    /// Permission bits, when the entry was made on Unix.
    std::optional<mode_t> mode;
    std::optional<std::time_t> mtime;
    /// Bytes once inflated, and as stored.
    zip_uint64_t size = 0;
    zip_uint64_t compressedSize = 0;
    zip_int32_t method = ZIP_CM_STORE;
    std::uint32_t crc = 0;
    /// About what an open package handle holds in memory for this entry of
    /// its directory (a fixed part, the name, the comment, the extra fields).
    std::uint64_t directoryBytes = 0;
};

}  // namespace hexora::Archive
