#pragma once
// Compressed test data made in memory with zlib.
#include <zlib.h>

#include <string>

namespace hexora::test {

/// `data` compressed at `level` (the fastest by default); windowBits 31
/// writes a gzip member, 15 a zlib stream, -15 raw deflate.
inline std::string deflateBytes(const std::string& data, int windowBits = 31, int level = Z_BEST_SPEED) {
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace hexora::test
