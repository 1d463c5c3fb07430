#include "support/server/ServerReply.hpp"

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

}  // namespace hexora::test
