#pragma once
// A fresh folder on another file system than the system temporary folder
// (below /dev/shm), removed with its contents when the object goes away.
// path() is empty when there is no such file system here.
#include <filesystem>

namespace hexora::test {

class OtherFileSystemDir {
public:
    OtherFileSystemDir();
    ~OtherFileSystemDir();
    OtherFileSystemDir(const OtherFileSystemDir&) = delete;
    OtherFileSystemDir& operator=(const OtherFileSystemDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

/// True when the two existing paths lie on the same file system.
bool sameFileSystem(const std::filesystem::path& first, const std::filesystem::path& second);

}  // namespace hexora::test
