#pragma once
// Streaming inflate of a raw deflate stream (a zip entry's data) with the
// CRC-32 of the output, over ISA-L's igzip (measured several times faster
// than zlib's inflate on package data; see bench/inflate).
//
// Thread: one object per thread; its state (about 50 KiB) is its own.
#include <cstddef>
#include <cstdint>
#include <memory>

struct inflate_state;

namespace hexora::Archive {

class RawInflate {
public:
    RawInflate();
    ~RawInflate();
    RawInflate(const RawInflate&) = delete;
    RawInflate& operator=(const RawInflate&) = delete;

    /// Starts a new stream.
    void reset();

    struct Step {
        std::size_t consumed = 0;
        std::size_t produced = 0;
        /// The last block of the stream has been inflated and written out.
        bool finished = false;
    };
    /// Inflates from `input` into `output` until one of them is used up or
    /// the stream ends. Throws ZipExtract::Error("corrupt deflate data") when
    /// the data is not a valid deflate stream.
    Step inflate(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output, std::size_t outputSize);
    /// CRC-32 (as in zip and gzip) of everything produced since reset().
    std::uint32_t crc() const;

private:
    std::unique_ptr<inflate_state> state_;
};

}  // namespace hexora::Archive
