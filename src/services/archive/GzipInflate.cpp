#include "services/archive/GzipInflate.hpp"

#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace hexora::Archive::GzipInflate {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t ChunkSize = 256 * 1024;
constexpr int WindowBits = 47;  // 15 + 32: gzip or zlib header, detected

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openOrThrow(const fs::path& path, const char* mode, const char* what) {
    File file(std::fopen(path.c_str(), mode));
    if (!file) throw Error(std::string(what) + " " + path.string() + ": " + std::strerror(errno));
    return file;
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

void writeAll(std::FILE* out, const unsigned char* data, std::size_t size, const fs::path& target) {
    if (size > 0 && std::fwrite(data, 1, size, out) != size)
        throw Error("cannot write " + target.string() + ": " + std::strerror(errno));
}

void inflateStream(std::FILE* in, std::FILE* out, const fs::path& source, const fs::path& target,
                   std::uintmax_t maxOutputBytes) {
    Inflater inflater;
    z_stream& stream = inflater.stream();
    std::vector<unsigned char> input(ChunkSize);
    std::vector<unsigned char> output(ChunkSize);
    bool inMember = true;
    std::uintmax_t written = 0;

    for (;;) {
        if (stream.avail_in == 0) {
            const std::size_t got = std::fread(input.data(), 1, input.size(), in);
            if (std::ferror(in)) throw Error("cannot read " + source.string() + ": " + std::strerror(errno));
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
        writeAll(out, output.data(), produced, target);
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
    std::error_code code;
    if (fs::is_directory(path, code)) throw Error("cannot read " + path.string() + ": is a folder");
    File in = openOrThrow(path, "rb", "cannot open");
    std::array<unsigned char, 2> magic{};
    const std::size_t got = std::fread(magic.data(), 1, magic.size(), in.get());
    if (std::ferror(in.get())) throw Error("cannot read " + path.string() + ": " + std::strerror(errno));
    return got == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

void inflateFile(const fs::path& source, const fs::path& target, std::uintmax_t maxOutputBytes) {
    File in = openOrThrow(source, "rb", "cannot open");
    File out = openOrThrow(target, "wbx", "cannot create");
    try {
        inflateStream(in.get(), out.get(), source, target, maxOutputBytes);
        if (std::fflush(out.get()) != 0) throw Error("cannot write " + target.string() + ": " + std::strerror(errno));
        std::FILE* raw = out.release();
        if (std::fclose(raw) != 0) throw Error("cannot write " + target.string() + ": " + std::strerror(errno));
    } catch (...) {
        out.reset();
        std::error_code ignored;
        fs::remove(target, ignored);
        throw;
    }
}

}  // namespace hexora::Archive::GzipInflate
