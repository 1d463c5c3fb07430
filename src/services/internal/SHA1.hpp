#pragma once
// SHA-1 of a file's whole content, as the scheme files write it: 40
// upper-case hexadecimal digits, two per digest byte, leading zeros kept.
//
// The file is streamed through the digest in fixed chunks, so memory use does
// not grow with the file and files of any size (4 GiB and more) are hashed.
//
// Thread: any thread; calls share no state, so validation units may hash
// several files at once. Nothing here throws: absence is the only failure.
#include <filesystem>
#include <optional>
#include <string>

namespace hexora::SHA1 {

/// The hash text of the regular file at `path` (links followed), or nullopt
/// when it cannot be opened or read to the end (missing, a folder, a pipe,
/// socket or device, no permission, an I/O error). Anything but a regular
/// file is refused at once: nothing here waits for a writer or reads a
/// device that never ends.
std::optional<std::string> sha1HexOfFile(const std::string& path);

/// nullopt unless `path` exists and is not a folder; otherwise the same as
/// sha1HexOfFile on its text.
std::optional<std::string> sha1HexOfPath(const std::filesystem::path& path);

}  // namespace hexora::SHA1
