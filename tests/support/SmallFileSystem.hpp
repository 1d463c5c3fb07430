#pragma once
// A tmpfs of a given size mounted over a folder while the object lives (the
// folder is created when missing): a disk that fills up, for the tests of
// what a full or nearly full disk does. Mounting needs the rights of the
// system's administrator; mounted() is false where it is not possible, and
// the test then skips. Unmounted (lazily) when the object goes away.
//
// Thread: construct and destroy on one thread; freeBytes() from any.
#include <cstdint>
#include <filesystem>

namespace hexora::test {

class SmallFileSystem {
public:
    SmallFileSystem(std::filesystem::path folder, std::uint64_t sizeBytes, bool readOnly = false);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    /// The bytes an ordinary program may still write there.
    std::uint64_t freeBytes() const;

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

}  // namespace hexora::test
