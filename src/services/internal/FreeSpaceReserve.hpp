#pragma once
// Keeps a download or an unzip from taking the last free space of its file's
// file system: each chunk is admitted only when writing it still leaves the
// reserve free there (Http::Options::keepFreeBytes for a download).
//
// The free space is looked up on the open file (fstatvfs, through the
// platform's FileSystem layer) before the first chunk, again after every
// LookEveryBytes admitted, and always before a chunk is refused, so a
// refusal rests on a fresh figure; between looks the admitted bytes are
// counted against the last one. The figure is the space an ordinary program
// may still use, less one block for the file's partly filled last block, so
// the reserve holds also for the programs that cannot use the blocks kept
// for the system's administrator.
//
// Thread: one object serves one transfer (or one unzip thread's files) on one
// thread; a lookup made through one file holds for every file on the same
// file system. Nothing here throws.
#include <cstdint>
#include <optional>

namespace hexora {

class FreeSpaceReserve {
public:
    /// How many admitted bytes may pass between two looks: other programs
    /// writing meanwhile can take at most this much more of the reserve
    /// before the next look notices.
    static constexpr std::uint64_t LookEveryBytes = std::uint64_t{1} << 20;

    /// `reserveBytes` of 0 admits everything without a look.
    explicit FreeSpaceReserve(std::uint64_t reserveBytes) : reserve_(reserveBytes) {}

    /// The free space of the file system of `fd` (a file or a folder) less
    /// one block, as a look measures it; nullopt when the file system gives
    /// no figure.
    static std::optional<std::uint64_t> usableBytes(int fd);

    /// True when `length` more bytes may be written to the file open as `fd`;
    /// the bytes then count as written. A file system that gives no figure
    /// admits the chunk (the write itself then reports a full disk).
    bool admits(int fd, std::uint64_t length);

    std::uint64_t reserveBytes() const { return reserve_; }

private:
    void look(int fd);

    std::uint64_t reserve_;
    bool looked_ = false;
    std::uint64_t headroom_ = 0;
    std::uint64_t sinceLook_ = 0;
};

}  // namespace hexora
