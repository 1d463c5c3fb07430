#include "services/api/ApiRequest.hpp"
#include "services/api/UpdateInfoRequest.hpp"
#include "services/api/UpdateInfoResponse.hpp"
#include "services/rum/RumApi.hpp"
#include "support/LogCapture.hpp"
#include "support/TestClock.hpp"
#include "support/server/HttpsServer.hpp"
#include "support/server/RequestFixture.hpp"

#include "support/PendingRecords.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {
using test::HttpsServer;
using test::ServerReply;
using UpdateRequest = ApiConf::UpdateInfo::Request;
using UpdateResponse = ApiConf::UpdateInfo::Response;

constexpr double Timeout = 60.0;  // bounds only a broken test

class ApiRequestPost : public test::RequestFixture {
protected:
    const UpdateRequest launcherRequest{"1.4.2", 32};
};

TEST_F(ApiRequestPost, LauncherRequestIsPostedAsOneObjectToConf) {
    server.on("POST", "/conf", ServerReply::json(200, {{"result", 1}}));
    std::optional<UpdateResponse> response;

    EXPECT_TRUE(launcherRequest.post(server.url(), Timeout, response));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/conf");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    const auto body = nlohmann::json::parse(requests[0].body);
    EXPECT_EQ(body, nlohmann::json::parse(R"({"p":22,"app_version":"1.4.2","platform":32})"));
    EXPECT_TRUE(body["p"].is_number_integer());
    EXPECT_TRUE(body["platform"].is_number_integer());
    EXPECT_TRUE(body["app_version"].is_string());

    ASSERT_TRUE(response);
    EXPECT_EQ(response->result, 1);
    for (const auto* text : {&response->hash, &response->version, &response->file, &response->v_check,
                             &response->v_check_url, &response->v_check_url2}) {
        EXPECT_FALSE(*text);
    }

    const auto record = onlyRecord();
    EXPECT_TRUE(test::recordIs(record, "POST", "22", "Succeeded", "INFO"));
    EXPECT_EQ(record.aType, "Response");
    EXPECT_EQ(record.dataValue("Uri"), server.url("/conf"));
    EXPECT_EQ(record.RawData, R"({"result":"1"})");
}

TEST_F(ApiRequestPost, FullReplyIsDecodedAndReencodedForTelemetry) {
    const nlohmann::ordered_json reply = {{"result", 0},         {"hash", "h1"},
                                          {"version", "1.5.0"},  {"file", "Hexora_1.5.0.zip"},
                                          {"v_check", "1.4.0"},  {"v_check_url", "https://a.example"},
                                          {"v_check_url2", "https://b.example"}, {"extra", nlohmann::ordered_json::array({1})}};
    server.on("POST", "/conf", ServerReply::json(200, reply));
    const auto result = launcherRequest.post<UpdateResponse>(server.url(), Timeout);
    ASSERT_TRUE(result.succeeded);
    const UpdateResponse& decoded = *result.result;
    EXPECT_EQ(decoded.result, 0);
    EXPECT_EQ(decoded.hash, "h1");
    EXPECT_EQ(decoded.version, "1.5.0");
    EXPECT_EQ(decoded.file, "Hexora_1.5.0.zip");
    EXPECT_EQ(decoded.v_check, "1.4.0");
    EXPECT_EQ(decoded.v_check_url, "https://a.example");
    EXPECT_EQ(decoded.v_check_url2, "https://b.example");
    EXPECT_EQ(onlyRecord().RawData,
              R"({"result":"0","hash":"h1","version":"1.5.0","file":"Hexora_1.5.0.zip","v_check":"1.4.0",)"
              R"("v_check_url":"https://a.example","v_check_url2":"https://b.example"})");
}

// The update-info timeout is an idle timeout: a reply that takes longer than
// it in all, in pieces never that far apart, arrives.
TEST_F(ApiRequestPost, AReplyInPiecesWithinTheIdleTimeoutIsDecoded) {
    constexpr double IdleTimeout = 2.0;
    const auto slow = connectedServer();
    slow->on("POST", "/conf",
             ServerReply::inPieces(ServerReply::json(200, {{"result", 1}, {"version", "1.4.3"}, {"hash", "0a1b2c3d4e5f"}}),
                                   IdleTimeout));
    std::optional<UpdateResponse> response;

    EXPECT_TRUE(launcherRequest.post(slow->url(), IdleTimeout, response));

    ASSERT_TRUE(response);
    EXPECT_EQ(response->result, 1);
    EXPECT_EQ(response->version, "1.4.3");
    EXPECT_EQ(response->hash, "0a1b2c3d4e5f");
    EXPECT_EQ(onlyRecord().EventState, "Succeeded");
}

TEST_F(ApiRequestPost, BaseUrlIsJoinedAsText) {
    server.on("POST", "//conf", ServerReply::json(200, {{"result", 1}}));
    std::optional<UpdateResponse> response;
    EXPECT_TRUE(launcherRequest.post(server.url("/"), Timeout, response));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, "//conf");
    EXPECT_EQ(onlyRecord().dataValue("Uri"), server.url("//conf"));
}

TEST_F(ApiRequestPost, FailedRepliesFollowTheErrorCodeRule) {
    struct Case {
        const char* name;
        ServerReply reply;
        std::string errorCode;
        std::string descriptionPart;  // "unknown" must match whole
    };
    const std::vector<Case> cases = {
        {"no result", ServerReply::json(200, nlohmann::ordered_json::object()), "0", "result"},
        {"result as a string", ServerReply::json(200, {{"result", "1"}}), "0", "result"},
        {"result with a fraction", ServerReply::json(200, {{"result", 1.5}}), "0", "result"},
        {"text member not a string", ServerReply::json(200, {{"result", 1}, {"version", 5}}), "0", "decoded"},
        {"not an object", ServerReply::json(200, nlohmann::ordered_json::array({1})), "0", "decoded"},
        {"not JSON", ServerReply::text(200, "hello"), "0", "decoded"},
        {"empty body", ServerReply::text(200, ""), "0", "no body"},
        {"503 with a reply", ServerReply::json(503, {{"result", 1}}), "503", "unknown"},
        {"404 with a reply", ServerReply::json(404, {{"result", 7}}), "404", "unknown"},
        {"503 with HTML", ServerReply::text(503, "<html>down</html>"), "0", "decoded"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        HttpsServer api;
        api.on("POST", "/conf", c.reply);
        std::optional<UpdateResponse> response = UpdateResponse();
        test::LogCapture log;

        EXPECT_FALSE(launcherRequest.post(api.url(), Timeout, response));
        EXPECT_FALSE(response);

        const auto record = onlyRecord();
        EXPECT_TRUE(test::recordIs(record, "POST", "22", "Failed", "ERROR"));
        EXPECT_EQ(record.aType, "");
        EXPECT_FALSE(record.RawData);
        EXPECT_EQ(record.dataValue("Uri"), api.url("/conf"));
        EXPECT_EQ(record.dataValue("ErrorCode"), c.errorCode);
        const std::string description = record.dataValue("ErrorDescription").value_or("");
        if (c.descriptionPart == "unknown") {
            EXPECT_EQ(description, "unknown");
        } else {
            EXPECT_NE(description.find(c.descriptionPart), std::string::npos) << description;
        }
        const std::optional<std::string> body = c.reply.body.empty() ? std::nullopt : std::optional(c.reply.body);
        EXPECT_EQ(record.dataValue("ResponseBody"), body);
        bool loggedError = false;
        for (const auto& line : log.lines()) loggedError |= line.level == "error";
        EXPECT_TRUE(loggedError);
    }
}

TEST_F(ApiRequestPost, NullTextMembersCountAsAbsent) {
    server.on("POST", "/conf", ServerReply::json(200, {{"result", 2}, {"version", nullptr}, {"hash", "h"}}));
    const auto result = launcherRequest.post<UpdateResponse>(server.url(), Timeout);
    ASSERT_TRUE(result.succeeded);
    EXPECT_FALSE(result.result->version);
    EXPECT_EQ(result.result->hash, "h");
    EXPECT_EQ(onlyRecord().RawData, R"({"result":"2","hash":"h"})");
}

TEST_F(ApiRequestPost, BlankUrlSendsNothingAndEmptiesTheSlot) {
    for (const std::string blank : {"", "  ", "\n\t"}) {
        std::optional<UpdateResponse> response = UpdateResponse();
        test::LogCapture log;
        EXPECT_FALSE(launcherRequest.post(blank, Timeout, response));
        EXPECT_FALSE(response);
        expectBlankUrlRecord("ApiRequest.post");
        EXPECT_TRUE(log.contains("url is empty"));
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ApiRequestPost, TransportFailuresGiveCodeZeroAndTheLibraryText) {
    HttpsServer untrusted(HttpsServer::Config{.trusted = false});
    HttpsServer gone;
    const std::string goneUrl = gone.url();
    gone.stop();
    for (const std::string& url : {untrusted.url(), goneUrl}) {
        SCOPED_TRACE(url);
        std::optional<UpdateResponse> response;
        EXPECT_FALSE(launcherRequest.post(url, Timeout, response));
        const auto record = onlyRecord();
        EXPECT_EQ(record.dataValue("ErrorCode"), "0");
        const auto description = record.dataValue("ErrorDescription").value_or("");
        EXPECT_FALSE(description.empty());
        EXPECT_NE(description, "unknown");
        EXPECT_FALSE(record.dataValue("ResponseBody"));
    }
}

TEST_F(ApiRequestPost, ARequestCanBePostedAgainUnchanged) {
    server.on("POST", "/conf", ServerReply::json(503, {{"result", 1}}));
    server.on("POST", "/conf", ServerReply::json(200, {{"result", 1}, {"version", "2.0"}}));
    const UpdateRequest gameRequest("3.1", 33);
    std::optional<UpdateResponse> response;
    EXPECT_FALSE(gameRequest.post(server.url(), Timeout, response));
    EXPECT_TRUE(gameRequest.post(server.url(), Timeout, response));
    EXPECT_EQ(response->version, "2.0");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].body, requests[1].body);
    EXPECT_EQ(gameRequest.toDictionary(), nlohmann::ordered_json::parse(requests[0].body));
}

TEST(UpdateInfoMessages, RequestFormAndDecoding) {
    const UpdateRequest request("1.4.2", 32);
    EXPECT_EQ(request.encode().dump(), R"({"p":22,"app_version":"1.4.2","platform":32})");
    EXPECT_EQ(UpdateRequest().encode().dump(), R"({"p":22,"app_version":"","platform":33})");
    EXPECT_EQ(request.getPath(), "/conf");
    EXPECT_EQ(request.getApiId(), "22");
    EXPECT_EQ(request.toDictionary()["app_version"], "1.4.2");
    EXPECT_EQ(ApiRequest().encode().dump(), R"({"platform":33})");
    EXPECT_EQ(ApiRequest().getPath(), "");
    EXPECT_EQ(ApiRequest().getApiId(), "");

    const UpdateRequest decoded(nlohmann::json::parse(R"({"p":7,"app_version":"a/b","platform":32})"));
    EXPECT_EQ(decoded.p, 22);
    EXPECT_EQ(decoded.app_version, "a/b");
    EXPECT_EQ(decoded.platform, 32);
    EXPECT_THROW(UpdateRequest(nlohmann::json::parse(R"({"platform":32})")), nlohmann::json::exception);
    EXPECT_THROW(UpdateRequest(nlohmann::json::parse(R"({"app_version":"1"})")), nlohmann::json::exception);
    EXPECT_THROW(ApiRequest(nlohmann::json::parse(R"({"platform":"32"})")), nlohmann::json::exception);
}

TEST(UpdateInfoMessages, ResponseDecodingOfResult) {
    EXPECT_EQ(UpdateResponse(nlohmann::json::parse(R"({"result":-3})")).result, -3);
    EXPECT_EQ(UpdateResponse(nlohmann::json::parse(R"({"result":1.0})")).result, 1);
    for (const char* bad : {R"({"result":null})", R"({"result":true})", R"({"result":18446744073709551615})",
                            R"({"result":1,"file":{}})", R"("text")"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(UpdateResponse(nlohmann::json::parse(bad)), nlohmann::json::exception);
    }
    EXPECT_EQ(UpdateResponse().encode().dump(), R"({"result":"0"})");
}

}  // namespace
}  // namespace hexora
