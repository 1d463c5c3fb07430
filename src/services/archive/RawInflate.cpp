#include "services/archive/RawInflate.hpp"

#include "services/archive/ZipExtract.hpp"

#include <isa-l/igzip_lib.h>

namespace hexora::Archive {

RawInflate::RawInflate() : state_(std::make_unique<inflate_state>()) { reset(); }

RawInflate::~RawInflate() = default;

void RawInflate::reset() {
    isal_inflate_init(state_.get());
    state_->crc_flag = ISAL_GZIP_NO_HDR;  // raw deflate; the gzip CRC-32 of the output in state->crc
}

RawInflate::Step RawInflate::inflate(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                                     std::size_t outputSize) {
    inflate_state& state = *state_;
    state.next_in = const_cast<std::uint8_t*>(input);
    state.avail_in = static_cast<std::uint32_t>(inputSize);
    state.next_out = output;
    state.avail_out = static_cast<std::uint32_t>(outputSize);
    const int result = isal_inflate(&state);
    if (result < 0) throw ZipExtract::Error("corrupt deflate data");
    Step step;
    step.consumed = inputSize - state.avail_in;
    step.produced = outputSize - state.avail_out;
    step.finished = state.block_state == ISAL_BLOCK_FINISH;
    return step;
}

std::uint32_t RawInflate::crc() const { return state_->crc; }

}  // namespace hexora::Archive
