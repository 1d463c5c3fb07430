#pragma once
// A fresh folder below the system temporary folder, removed with its contents
// when the object goes away.
#include <filesystem>
#include <string>

namespace hexora::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// path() joined with `relative`.
    std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }
    /// Writes `content` to path()/relative, creating parent folders; returns the full path.
    std::filesystem::path write(const std::string& relative, const std::string& content) const;

private:
    std::filesystem::path path_;
};

/// The whole content of a file ("" when unreadable).
std::string readFile(const std::filesystem::path& path);

}  // namespace hexora::test
