#pragma once
// Extraction of a zip package into a folder over libzip (used by the unzip worker).
//
// Safety: every entry must land inside the target folder. The whole archive
// is checked before anything is written; an entry named with "..", an
// absolute path, a backslash or a drive letter, or a symbolic link whose
// target leaves the folder, refuses the archive. Files are never written
// through a link: links are made after every file, each checked against the
// folder as it then stands on disk.
//
// Kept from the archive: Unix permissions (the executable bit of the game
// binary; set-id bits are dropped) from the external attributes of entries
// made on Unix, and modification times, exact from the extended-timestamp
// extra field (0x5455) or else the DOS time. CRC-32 checks are on.
//
// Thread: any thread; nothing is shared between calls except what the
// caller's callbacks share.
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hexora::Archive::ZipExtract {

/// Why an extraction failed; what() is the description used in the records.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Callbacks {
    /// Called on the extracting thread with the fraction of bytes written so
    /// far (0 to 1, never lower than the value before). May be empty.
    std::function<void(double)> onProgress;
    /// Polled between chunks; true stops the extraction with an Error.
    std::function<bool()> isCancelled;
};

/// The relative path at which an entry named `name` lands below the target
/// folder, or nullopt when the name is unsafe or empty. "." parts and
/// repeated slashes are dropped; a trailing "/" (folder entry) is allowed.
std::optional<std::filesystem::path> safeRelativePath(std::string_view name);

/// Extracts every entry of the archive at `zipPath` into `targetFolder`,
/// creating the folder when missing and replacing files already there.
/// Throws Error on an unreadable or corrupt archive, a bad CRC, an unsafe
/// entry, a write error or cancellation; what was written so far stays, but
/// never anything outside the target folder.
void extract(const std::filesystem::path& zipPath, const std::filesystem::path& targetFolder,
             const Callbacks& callbacks = {});

}  // namespace hexora::Archive::ZipExtract
