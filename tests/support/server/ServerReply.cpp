#include "support/server/ServerReply.hpp"

#include <algorithm>

namespace hexora::test {

ServerReply ServerReply::text(int status, std::string body) {
    ServerReply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

ServerReply ServerReply::json(int status, const nlohmann::ordered_json& body) {
    ServerReply reply;
    reply.status = status;
    reply.contentType = "application/json";
    reply.body = body.dump();
    return reply;
}

ServerReply ServerReply::inPieces(ServerReply reply, double idleTimeoutSec) {
    constexpr std::size_t Pieces = 16;
    reply.delayBeforeHeadersSec = idleTimeoutSec / 4;
    reply.trickleBytes = std::max<std::size_t>(1, (reply.body.size() + Pieces - 1) / Pieces);
    reply.trickleIntervalSec = idleTimeoutSec / 12;
    return reply;
}

}  // namespace hexora::test
