// Benchmark: raw inflate with zlib beside ISA-L's igzip, streaming through a
// 256 KiB output buffer with the CRC-32 of the output (what an extracting
// thread does per entry), on one core. Two kinds of data, as a game package
// holds them: text-like (names, numbers, markup) and incompressible (already
// compressed textures and sounds), each deflated by zlib at level 6.
//
//   bench_inflate [--mib M] [--repeat R]
//
// Defaults: 64 MiB of each kind, best of 3 rounds, the two inflaters taking
// turns at going first. Every round checks that both give the same bytes' CRC.
#include "support/GzipBytes.hpp"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

std::string textLike(std::size_t size, std::mt19937_64& random) {
    static const char* const words[] = {"sprite", "texture", "level", "vertex", "shader", "{\"id\":", "},\n",
                                        "0.125,", "true,", "null,", "<key>", "</key>", "hexora", "anim"};
    std::string text;
    text.reserve(size + 64);
    while (text.size() < size) {
        text += words[random() % (sizeof words / sizeof *words)];
        if (random() % 4 == 0) text += std::to_string(random() % 100000);
        text += ' ';
    }
    text.resize(size);
    return text;
}

std::string incompressible(std::size_t size, std::mt19937_64& random) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(&bytes[i], &word, 8);
    }
    return bytes;
}

struct Result {
    double seconds = 0;
    std::uint32_t crc = 0;
};

Result withZlib(const std::string& compressed, std::vector<unsigned char>& output) {
    const auto start = Clock::now();
    z_stream stream{};
    inflateInit2(&stream, -15);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    uLong crc = crc32(0, nullptr, 0);
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        status = inflate(&stream, Z_NO_FLUSH);
        crc = crc32(crc, output.data(), static_cast<uInt>(output.size() - stream.avail_out));
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) std::exit(1);
    return {std::chrono::duration<double>(Clock::now() - start).count(), static_cast<std::uint32_t>(crc)};
}

Result withIsal(const std::string& compressed, std::vector<unsigned char>& output) {
    const auto start = Clock::now();
    static inflate_state state;
    isal_inflate_init(&state);
    state.crc_flag = ISAL_GZIP_NO_HDR;
    state.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(compressed.data()));
    state.avail_in = static_cast<std::uint32_t>(compressed.size());
    while (state.block_state != ISAL_BLOCK_FINISH) {
        state.next_out = output.data();
        state.avail_out = static_cast<std::uint32_t>(output.size());
        if (isal_inflate(&state) < 0) std::exit(1);
    }
    return {std::chrono::duration<double>(Clock::now() - start).count(), state.crc};
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t mib = 64;
    int repeat = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mib") == 0) mib = static_cast<std::size_t>(std::max(1, std::atoi(argv[i + 1])));
        else if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    std::mt19937_64 random(11);
    const struct {
        const char* label;
        std::string data;
    } kinds[] = {{"text-like", textLike(mib << 20, random)}, {"incompressible", incompressible(mib << 20, random)}};
    std::vector<unsigned char> output(256 * 1024);
    std::printf("bench_inflate: %zu MiB of each kind, deflated by zlib at level 6; one core, best of %d\n", mib, repeat);
    std::printf("%-15s %8s %12s %12s %8s\n", "data", "ratio", "zlib MiB/s", "ISA-L MiB/s", "speedup");
    for (const auto& kind : kinds) {
        const std::string compressed = hexora::test::deflateBytes(kind.data, -15, 6);
        double zlibBest = 1e300, isalBest = 1e300;
        for (int round = 0; round < repeat; ++round) {
            Result a, b;
            if (round % 2 == 0) {
                a = withZlib(compressed, output);
                b = withIsal(compressed, output);
            } else {
                b = withIsal(compressed, output);
                a = withZlib(compressed, output);
            }
            if (a.crc != b.crc) {
                std::fprintf(stderr, "%s: the two inflaters disagree\n", kind.label);
                return 1;
            }
            zlibBest = std::min(zlibBest, a.seconds);
            isalBest = std::min(isalBest, b.seconds);
        }
        std::printf("%-15s %8.3f %12.0f %12.0f %7.2fx\n", kind.label,
                    static_cast<double>(compressed.size()) / static_cast<double>(kind.data.size()),
                    static_cast<double>(mib) / zlibBest, static_cast<double>(mib) / isalBest, zlibBest / isalBest);
    }
    return 0;
}
