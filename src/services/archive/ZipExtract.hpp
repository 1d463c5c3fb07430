#pragma once
// Extraction of a zip package into a folder (used by the unzip worker).
//
// Safety: every entry must land inside the target folder. The whole archive
// is checked before anything is written; an entry named with "..", an
// absolute path, a backslash or a drive letter, or a symbolic link whose
// target leaves the folder, refuses the archive. Files are never written
// through a link: links are made after every file, each checked against the
// folder as it then stands on disk, and once all exist every entry is
// resolved again; links that lead outside together fail the extraction.
// Whatever fails an extraction, it takes away everything it made.
//
// Speed: the entries of one package are written by several threads (see
// ZipExtraction), at most as many at once as the shared ThreadBudget allows,
// with bounded buffers whatever the package's size.
//
// Kept from the archive: Unix permissions (the executable bit of the game
// binary; set-id bits are dropped) from the external attributes of entries
// made on Unix, and modification times, exact from the extended-timestamp
// extra field (0x5455) or else the DOS time. Every entry's CRC-32 is checked.
//
// Thread: any thread; nothing is shared between calls except the budget and
// what the caller's callbacks share.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hexora::Archive {
class ThreadBudget;
}

namespace hexora::Archive::ZipExtract {

/// Why an extraction failed; what() is the description used in the records.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Callbacks {
    /// Called with the fraction of bytes written so far (0 to 1, never lower
    /// than the value before), one call at a time, from any of the
    /// extraction's threads. May be empty.
    std::function<void(double)> onProgress;
    /// Polled between chunks by every extracting thread; true stops the
    /// extraction with an Error. May be empty.
    std::function<bool()> isCancelled;
    /// The free space the extraction leaves on the target's file system (0:
    /// none). Before anything is written, the sizes the package declares must
    /// fit into the free space less this reserve; while writing, a chunk that
    /// would leave less fails the extraction (declared sizes can lie), each
    /// thread looking at the free space at least every
    /// FreeSpaceReserve::LookEveryBytes it wrote. Either is an Error naming
    /// the reserve.
    std::uint64_t keepFreeBytes = 0;
};

/// The relative path at which an entry named `name` lands below the target
/// folder, or nullopt when the name is unsafe or empty. "." parts and
/// repeated slashes are dropped; a trailing "/" (folder entry) is allowed.
std::optional<std::filesystem::path> safeRelativePath(std::string_view name);

/// Extracts every entry of the archive at `zipPath` into `targetFolder`,
/// creating the folder when missing and replacing files already there. The
/// calling thread extracts too: it first waits for a slot of `budget` (one
/// per processor when none is given) and then takes more slots for helper
/// threads while they are free. Throws Error on an unreadable or corrupt
/// archive, a bad CRC, an unsafe entry, a package that does not fit beside
/// the reserve, a write error (a full disk) or
/// cancellation; everything the extraction had written or created is then
/// taken away again, and nothing is ever written outside the target folder.
void extract(const std::filesystem::path& zipPath, const std::filesystem::path& targetFolder,
             const Callbacks& callbacks = {}, ThreadBudget* budget = nullptr);

}  // namespace hexora::Archive::ZipExtract
