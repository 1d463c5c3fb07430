#pragma once
// Writes a zip package with libzip: folders, files and symbolic links with
// their Unix modes in the external attributes (made on Unix), names in UTF-8.
//
// Thread: one object per thread. Throws std::runtime_error on any failure;
// an archive that was not closed is discarded (nothing is left at the path).
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <zip.h>

namespace hexora::tools {

class PackageZip {
public:
    /// Creates (or truncates) the archive at `path`.
    explicit PackageZip(const std::filesystem::path& path);
    ~PackageZip();
    PackageZip(const PackageZip&) = delete;
    PackageZip& operator=(const PackageZip&) = delete;

    /// `name` without the trailing "/".
    void addFolder(const std::string& name, mode_t permissions);
    /// The content is read from `source` when the archive is closed.
    void addFile(const std::string& name, const std::filesystem::path& source, mode_t permissions);
    void addText(const std::string& name, const std::string& content, mode_t permissions);
    void addLink(const std::string& name, const std::string& target);
    /// Writes the archive.
    void close();

private:
    void setMode(zip_int64_t index, mode_t mode);
    zip_int64_t add(const std::string& name, zip_source_t* source);

    zip_t* archive_ = nullptr;
    std::string path_;
};

}  // namespace hexora::tools
