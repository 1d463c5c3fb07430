#include "services/internal/SHA1.hpp"

#include "platform/FileOps.hpp"

#include <openssl/evp.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace hexora::SHA1 {
namespace {

// Read size: large enough for the digest to run at full speed, small enough to
// keep one buffer per hashing thread for the life of the thread.
constexpr std::size_t ChunkSize = 256 * 1024;

struct DigestFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::string hexOf(const unsigned char* digest, unsigned int length) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(Digits[digest[i] >> 4]);
        text.push_back(Digits[digest[i] & 0x0F]);
    }
    return text;
}

// Reads the open file to its end through the digest; false on a read error.
bool digestStream(int fd, EVP_MD_CTX* context) {
    thread_local std::vector<unsigned char> buffer(ChunkSize);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;  // EISDIR for a folder, EIO, ...
        }
        if (EVP_DigestUpdate(context, buffer.data(), static_cast<std::size_t>(got)) != 1) return false;
    }
}

}  // namespace

std::optional<std::string> sha1HexOfFile(const std::string& path) {
    std::error_code error;
    const FileDescriptor file = FileOps::openRegularFile(path, error);
    if (!file) return std::nullopt;
    const int fd = file.get();

    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha1(), nullptr) != 1) return std::nullopt;
    if (!digestStream(fd, context.get())) return std::nullopt;

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return std::nullopt;
    return hexOf(digest, length);
}

std::optional<std::string> sha1HexOfPath(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) return std::nullopt;
    return sha1HexOfFile(path.string());
}

}  // namespace hexora::SHA1
