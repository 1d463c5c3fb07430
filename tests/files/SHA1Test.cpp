#include "services/internal/SHA1.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace hexora {
namespace {
namespace fs = std::filesystem;

// Expected digests come from an independent implementation (Python's hashlib).
struct KnownDigest {
    const char* label;
    std::string content;
    const char* hex;
};

std::string patternBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return bytes;
}

TEST(SHA1Test, HashesFileContentAsFortyUpperCaseDigits) {
    const KnownDigest cases[] = {
        {"empty file", "", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
        {"short text", "abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        // Its digest starts with 0x04 and holds 0x00 bytes: every leading zero must stay.
        {"bytes below 16 in the digest", "x48", "04466069D5C1B13A00004B28B0D0A096FD86609E"},
        // Larger than the read chunk and not a multiple of it.
        {"several chunks", patternBytes(3 * 1024 * 1024 + 7), "71BAFE720936E673EE7A589A2E9084017AB676E6"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path file = dir.write(std::string(c.label) + ".bin", c.content);
        EXPECT_EQ(SHA1::sha1HexOfFile(file.string()), std::optional<std::string>(c.hex));
        EXPECT_EQ(SHA1::sha1HexOfPath(file), std::optional<std::string>(c.hex));
    }
}

TEST(SHA1Test, AnythingThatIsNotAReadableFileIsAbsent) {
    test::TempDir dir;
    fs::create_directories(dir / "folder/inner");
    dir.write("folder/inner/file.txt", "content");

    // A socket exists and is no folder, but cannot be opened for reading.
    const fs::path socketPath = dir / "socket";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const fs::path pipePath = dir / "pipe";
    ASSERT_EQ(::mkfifo(pipePath.c_str(), 0644), 0);

    const struct {
        const char* label;
        fs::path path;
    } cases[] = {
        {"folder", dir / "folder"},
        {"missing file", dir / "missing.bin"},
        {"missing folder on the way", dir / "nowhere/file.bin"},
        {"socket", socketPath},
        // A pipe without a writer would hold the open or the read forever.
        {"named pipe", pipePath},
        // A device reads like a file but is none: /dev/null would give the digest
        // of empty input, /dev/zero would never end.
        {"character device", "/dev/null"},
        {"endless device", "/dev/zero"},
        // Opens fine and then fails to read at offset 0: a read error must not
        // yield the digest of whatever was read before it.
        {"read error", "/proc/self/mem"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(SHA1::sha1HexOfFile(c.path.string()), std::nullopt);
        EXPECT_EQ(SHA1::sha1HexOfPath(c.path), std::nullopt);
    }
    ::close(sock);
}

TEST(SHA1Test, FollowsSymbolicLinksToFiles) {
    test::TempDir dir;
    const fs::path target = dir.write("target.txt", "abc");
    fs::create_symlink(target, dir / "link.txt");
    EXPECT_EQ(SHA1::sha1HexOfPath(dir / "link.txt"), std::optional<std::string>("A9993E364706816ABA3E25717850C26C9CD0D89D"));
    fs::create_directory_symlink(dir.path(), dir / "folder-link");
    EXPECT_EQ(SHA1::sha1HexOfPath(dir / "folder-link"), std::nullopt);
}

// A sparse file of 4 GiB of zeros followed by "end": beyond any 32-bit length,
// so a single-call digest or a whole-file buffer would go wrong here.
TEST(SHA1Test, HashesFilesOfFourGibibytesAndMore) {
    test::TempDir dir;
    const fs::path file = dir / "large.bin";
    {
        std::ofstream out(file, std::ios::binary);
        out.seekp((std::streamoff{1} << 32));
        out << "end";
        ASSERT_TRUE(out.good());
    }
    ASSERT_EQ(fs::file_size(file), (std::uintmax_t{1} << 32) + 3);
    EXPECT_EQ(SHA1::sha1HexOfFile(file.string()), std::optional<std::string>("4E1B7C19CAA60A8D636152096A2D808468EF7158"));
}

}  // namespace
}  // namespace hexora
