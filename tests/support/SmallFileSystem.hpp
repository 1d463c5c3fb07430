#pragma once
// A small file system of its own (a tmpfs of a given size) mounted on an
// existing empty folder, for tests of what a full disk does. Mounting needs
// the right to mount (root, or a user namespace); without it available() is
// false and reason() says why, and the test skips. The file system is
// unmounted when the object goes away, also after a failed assertion.
//
// Thread: the test thread only.
#include <cstdint>
#include <filesystem>
#include <string>

namespace hexora::test {

class SmallFileSystem {
public:
    /// Mounts a tmpfs of `bytes` on `folder` (created when missing), read-only
    /// when asked (a volume the launcher cannot write to).
    SmallFileSystem(std::filesystem::path folder, std::uint64_t bytes, bool readOnly = false);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool available() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    const std::filesystem::path& path() const { return folder_; }
    /// Bytes free on it now.
    std::uint64_t freeBytes() const;

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
    std::string reason_;
};

/// Fills the file system of `folder` with the file `folder`/`name` until at
/// most `leave` bytes are free (writes that fail for lack of space end it).
void fillLeaving(const std::filesystem::path& folder, const std::string& name, std::uint64_t leave);

}  // namespace hexora::test
