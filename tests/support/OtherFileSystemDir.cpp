#include "support/OtherFileSystemDir.hpp"

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace hexora::test {
namespace fs = std::filesystem;

bool sameFileSystem(const fs::path& first, const fs::path& second) {
    struct stat a {}, b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev;
}

OtherFileSystemDir::OtherFileSystemDir() {
    std::string pattern = "/dev/shm/hexora-other-XXXXXX";
    if (!fs::is_directory("/dev/shm") || !::mkdtemp(pattern.data())) return;
    path_ = pattern;
    if (sameFileSystem(path_, fs::temp_directory_path())) {
        fs::remove_all(path_);
        path_.clear();
    }
}

OtherFileSystemDir::~OtherFileSystemDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
}

}  // namespace hexora::test
