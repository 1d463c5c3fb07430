// A server that drips its reply a byte at a time, never idle for the timeout,
// keeps neither the update-info post nor a text request for ever: each ends at
// its bound on the whole length (Http::WholeReplyTimeouts of its timeout) with
// its usual failure record, a timeout of error code 0. A reply that takes
// longer than the timeout but stays within the bound is heard (the "in pieces"
// tests of ApiRequestTest and ApiGetTextTest).
#include "services/api/Api.hpp"
#include "services/api/UpdateInfoRequest.hpp"
#include "services/api/UpdateInfoResponse.hpp"
#include "services/http/HttpOptions.hpp"
#include "support/server/RequestFixture.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace hexora {
namespace {
using test::ServerReply;

// Short, so that the bound comes after two seconds.
constexpr double IdleTimeout = 0.5;

ServerReply dripping(ServerReply reply) {
    reply.trickleBytes = 1;
    reply.trickleIntervalSec = 0.1;  // far longer than the bound in all
    return reply;
}

struct Case {
    const char* name;
    const char* method;
    const char* path;
    ServerReply reply;
    /// Sends the request to `base`; true when it succeeded.
    std::function<bool(const std::string& base)> send;
    const char* minorType;
    const char* event;
};

class WholeReplyBound : public test::RequestFixture {};

TEST_F(WholeReplyBound, ADrippingReplyFailsAtTheBoundWithTheUsualRecord) {
    const std::string padding(400, ' ');
    const Case cases[] = {
        {"update-info post", "POST", "/conf",
         dripping(ServerReply::text(200, "{\"result\":1,\"version\":\"1.0.0\"}" + padding)),
         [](const std::string& base) {
             std::optional<ApiConf::UpdateInfo::Response> reply;
             return ApiConf::UpdateInfo::Request("1.0.0", 32).post(base, IdleTimeout, reply);
         },
         "POST", "22"},
        {"text request", "GET", "/config/table.csv", dripping(ServerReply::text(200, "id,value\n1,one\n" + padding)),
         [](const std::string& base) { return Api::getText(base + "/config/table.csv", IdleTimeout).succeeded; },
         "GET", "api.get"},
    };
    const std::string bound = "took longer than " + std::to_string(static_cast<int>(Http::WholeReplyTimeouts * IdleTimeout)) + " s";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto dripper = connectedServer();
        dripper->on(c.method, c.path, c.reply);

        EXPECT_FALSE(c.send(dripper->url()));

        const auto record = onlyRecord();
        EXPECT_TRUE(test::recordIs(record, c.minorType, c.event, "Failed", "ERROR"));
        EXPECT_EQ(record.dataValue("ErrorCode"), "0");
        EXPECT_NE(record.dataValue("ErrorDescription").value_or("").find(bound), std::string::npos)
            << record.dataValue("ErrorDescription").value_or("");
    }
}

}  // namespace
}  // namespace hexora
