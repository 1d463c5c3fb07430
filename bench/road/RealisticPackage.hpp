#pragma once
// A game update package shaped like a real one, made at bench time (never
// committed): one zip, deflated at level 6 by the standard zip tool, holding
// the folder <version> with "scheme.json" and "Hexora.app". The full size is
// 1 GiB in 4,664 files: a dozen of 30 to 60 MiB, the rest thousands of small
// files of 1 KiB to 1 MiB; half of the bytes incompressible (like compressed
// textures and sounds), half text-like. A smaller size keeps the shape:
// fewer files, the same sizes of large files.
#include <cstdint>
#include <filesystem>
#include <string>

namespace hexora::bench {

struct RealisticPackage {
    std::filesystem::path zip;         // the package
    std::filesystem::path checksDir;   // sha1sum -c lists ("part-<n>"), paths relative to Hexora.app
    std::size_t files = 0;             // regular files below Hexora.app
    std::uint64_t bytes = 0;           // their bytes
};

/// Makes the package `zip` (named `version` + ".zip") of about `mib` MiB,
/// with `checkParts` sha1sum lists in `checksDir`; the staging folder `work`
/// is used and emptied again. Throws std::runtime_error when the zip tool fails.
RealisticPackage makeRealisticPackage(const std::filesystem::path& zip, const std::filesystem::path& checksDir,
                                      const std::filesystem::path& work, const std::string& version, std::uint64_t mib,
                                      unsigned checkParts);

/// Reads the figures of a package made before (same folder layout).
RealisticPackage describeMadePackage(const std::filesystem::path& zip, const std::filesystem::path& checksDir);

}  // namespace hexora::bench
