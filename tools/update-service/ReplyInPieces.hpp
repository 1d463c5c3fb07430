#pragma once
// The "trickle" misbehaviour of the update API domains: a reply already made
// is sent again as a slow server sends it, its body in 16 pieces spread evenly
// over a stretch of time (the first after one sixteenth of it), with its
// length announced. No gap between two pieces is longer than a sixteenth of
// the stretch.
//
// Thread: a server thread; the pieces are sent from it.
#include <httplib.h>

#include <chrono>

namespace hexora::tools {

void sendInPieces(httplib::Response& response, std::chrono::milliseconds over);

/// The "drip" misbehaviour: the reply's body one byte at a time, `every`
/// apart (the first after `every`), with its length announced: a server that
/// keeps a client's idle timeout from firing for as long as it likes.
void sendDripping(httplib::Response& response, std::chrono::milliseconds every);

}  // namespace hexora::tools
