#include "services/archive/GzipInflate.hpp"

#include "platform/FileOps.hpp"

#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace hexora::Archive::GzipInflate {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t ChunkSize = 256 * 1024;
constexpr int WindowBits = 47;  // 15 + 32: gzip or zlib header, detected

std::string reason(const std::error_code& error) { return error.message(); }
std::string lastReason() { return std::strerror(errno); }

FileDescriptor openSource(const fs::path& path) {
    std::error_code error;
    FileDescriptor fd = FileOps::openRegularFile(path, error);
    if (!fd) throw Error("cannot open " + path.string() + ": " + reason(error));
    return fd;
}

// Reads up to `size` bytes, resuming after interruptions; 0 at the end.
std::size_t readSome(int fd, unsigned char* data, std::size_t size, const fs::path& path) {
    for (;;) {
        const ssize_t got = ::read(fd, data, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) throw Error("cannot read " + path.string() + ": " + lastReason());
    }
}

class Inflater {
public:
    Inflater() {
        if (inflateInit2(&stream_, WindowBits) != Z_OK) throw Error("cannot initialise zlib");
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
};

void inflateStream(int in, int out, const fs::path& source, const fs::path& target, std::uintmax_t maxOutputBytes) {
    Inflater inflater;
    z_stream& stream = inflater.stream();
    std::vector<unsigned char> input(ChunkSize);
    std::vector<unsigned char> output(ChunkSize);
    bool inMember = true;
    std::uintmax_t written = 0;

    for (;;) {
        if (stream.avail_in == 0) {
            const std::size_t got = readSome(in, input.data(), input.size(), source);
            if (got == 0) break;
            stream.next_in = input.data();
            stream.avail_in = static_cast<uInt>(got);
        }
        if (!inMember) {
            // More data after a finished member: decompress it when it is
            // another member, otherwise it is padding and ends the data.
            if (stream.next_in[0] != 0x1f) return;
            if (inflateReset(&stream) != Z_OK) throw Error("cannot reset zlib");
            inMember = true;
        }
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            const char* message = stream.msg ? stream.msg : "inflate failed";
            throw Error("corrupt gzip data in " + source.string() + ": " + message);
        }
        const std::size_t produced = output.size() - stream.avail_out;
        if (produced > maxOutputBytes - written)
            throw Error("gzip data in " + source.string() + " inflates to more than " + std::to_string(maxOutputBytes) +
                        " bytes");
        written += produced;
        const std::string_view bytes(reinterpret_cast<const char*>(output.data()), produced);
        if (!FileOps::writeAll(out, bytes)) throw Error("cannot write " + target.string() + ": " + lastReason());
        if (result == Z_STREAM_END) {
            inMember = false;
        } else if (result == Z_BUF_ERROR && stream.avail_in != 0) {
            throw Error("corrupt gzip data in " + source.string());
        }
    }
    if (inMember) throw Error("truncated gzip data in " + source.string());
}

}  // namespace

bool hasGzipMagic(const fs::path& path) {
    const FileDescriptor in = openSource(path);
    std::array<unsigned char, 2> magic{};
    std::size_t got = 0;
    while (got < magic.size()) {
        const std::size_t more = readSome(in.get(), magic.data() + got, magic.size() - got, path);
        if (more == 0) break;
        got += more;
    }
    return got == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

fs::path inflateNextTo(const fs::path& source, const fs::path& target, std::uintmax_t maxOutputBytes) {
    const FileDescriptor in = openSource(source);
    std::error_code error;
    auto out = FileOps::createTemporarySibling(target, error);
    if (!out) throw Error("cannot create a file next to " + target.string() + ": " + reason(error));
    try {
        inflateStream(in.get(), out->descriptor.get(), source, target, maxOutputBytes);
        if (!out->descriptor.close()) throw Error("cannot write " + target.string() + ": " + lastReason());
    } catch (...) {
        out->descriptor.close();
        std::error_code ignored;
        fs::remove(out->path, ignored);
        throw;
    }
    return out->path;
}

}  // namespace hexora::Archive::GzipInflate
