#pragma once
// Makes an update package from a bundle folder, laid out as the file server
// serves it below `out`:
//
//   out/update/<hash>/scheme.json      the bundle's scheme
//   out/update/<hash>/scheme.json.gz   the same, gzip-compressed
//   out/update/<hash>/<name>.zip       <name>/scheme.json and <name>/Hexora.app
//
// The scheme (version = the given version, header = the package name) lists
// every regular file of the bundle, and every link that ends at a regular
// file, with the upper-case SHA-1 of its content: "file" is the file name and
// "directory" is "Hexora.app/" followed by its folder inside the bundle
// ("Hexora.app/Contents/MacOS"), so that validation joins it to the bundle.
// The zip keeps Unix modes and symbolic links.
//
// With a smart base (an older bundle), the scheme still lists the whole new
// bundle, while the zip holds only the files and links that differ from the
// base (content, link target or mode): a smart-patch package.
//
// Thread: any thread. Throws std::runtime_error with the reason on any
// failure (unreadable bundle, an empty hash or name, a name or hash with
// "/", a write error).
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace hexora::tools {

struct PackageOptions {
    std::filesystem::path bundle;
    std::string version;
    std::string hash;
    std::filesystem::path out;
    /// The package name; the version when empty.
    std::string name;
    std::optional<std::filesystem::path> smartBase;
};

struct Package {
    std::filesystem::path scheme;
    std::filesystem::path schemeArchive;
    std::filesystem::path zip;
    /// The bundle-relative paths of the files and links put into the zip.
    std::vector<std::string> packed;
};

Package buildPackage(const PackageOptions& options);

/// The bytes of `data` as a gzip stream (zlib, best compression).
std::string gzipCompress(const std::string& data);

}  // namespace hexora::tools
