#include "services/http/HttpClient.hpp"
#include "support/TempDir.hpp"
#include "support/server/HttpsServer.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <thread>

namespace hexora {
namespace {
using namespace std::chrono_literals;
using test::HttpsServer;
using test::ServerReply;

Http::Options quick() {
    Http::Options options;
    options.timeoutSec = 60;  // bounds only a broken test
    return options;
}

TEST(HttpsServer, RepliesOfARouteAreUsedInOrderAndTheLastRepeats) {
    HttpsServer server;
    server.on("GET", "/r", ServerReply::text(503, "first"));
    server.on("GET", "/r", ServerReply::text(200, "second"));
    std::vector<std::pair<long, std::string>> seen;
    for (int i = 0; i < 3; ++i) {
        const auto result = Http::get(server.url("/r"), quick());
        seen.emplace_back(result.status, result.body);
    }
    const std::vector<std::pair<long, std::string>> expected = {{503, "first"}, {200, "second"}, {200, "second"}};
    EXPECT_EQ(seen, expected);
}

TEST(HttpsServer, RoutesMatchMethodAndPathAndIgnoreTheQuery) {
    HttpsServer server;
    server.on("POST", "/conf", ServerReply::text(200, "posted"));
    server.on("GET", "/conf", [](const test::RecordedRequest& request) {
        return ServerReply::text(200, "got " + request.target);
    });
    EXPECT_EQ(Http::post(server.url("/conf"), "b", quick()).body, "posted");
    EXPECT_EQ(Http::get(server.url("/conf?x=1"), quick()).body, "got /conf?x=1");
    EXPECT_EQ(Http::put(server.url("/conf"), "b", quick()).status, 404);
    ASSERT_EQ(server.takeUnexpectedRequests().size(), 1u);
    const auto requests = server.requestsTo("/conf");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].path, "/conf");
    EXPECT_EQ(requests[1].target, "/conf?x=1");
}

TEST(HttpsServer, ServesAFolderButNothingOutsideIt) {
    test::TempDir dir;
    dir.write("files/update/abc/scheme.json", R"({"a":1})");
    dir.write("secret.txt", "outside");
    const std::string big(1024 * 1024 + 17, 'q');
    dir.write("files/big.bin", big);
    HttpsServer server;
    server.serveFolder("/cdn", dir / "files");

    const auto scheme = Http::get(server.url("/cdn/update/abc/scheme.json"), quick());
    EXPECT_EQ(scheme.status, 200);
    EXPECT_EQ(scheme.body, R"({"a":1})");
    EXPECT_EQ(scheme.header("Content-Type"), "application/json");
    EXPECT_EQ(Http::get(server.url("/cdn/big.bin"), quick()).body, big);

    EXPECT_EQ(Http::get(server.url("/cdn/missing.json"), quick()).status, 404);
    EXPECT_EQ(Http::get(server.url("/cdn/%2E%2E/secret.txt"), quick()).status, 404);
    EXPECT_EQ(Http::get(server.url("/cdn/update"), quick()).status, 404);
    EXPECT_EQ(server.takeUnexpectedRequests().size(), 3u);
}

TEST(HttpsServer, AnUnexpectedRequestFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            HttpsServer server;
            Http::get(server.url("/nobody/asked"), quick());
        },
        "unexpected request: GET /nobody/asked");
}

TEST(HttpsServer, SeveralServersRunAtOnceAndRecordTheirOwnRequests) {
    HttpsServer api1, api2, files1, files2, collector;
    std::vector<HttpsServer*> servers = {&api1, &api2, &files1, &files2, &collector};
    for (size_t i = 0; i < servers.size(); ++i) {
        servers[i]->on("GET", "/who", ServerReply::text(200, std::to_string(i)));
    }
    for (size_t i = 0; i < servers.size(); ++i) {
        EXPECT_EQ(Http::get(servers[i]->url("/who"), quick()).body, std::to_string(i));
        EXPECT_EQ(servers[i]->requestCount(), 1u);
    }
    EXPECT_EQ(std::set<int>({api1.port(), api2.port(), files1.port(), files2.port(), collector.port()}).size(), 5u);
}

TEST(HttpsServer, WaitForRequestsSeesARequestFromAnotherThread) {
    HttpsServer server;
    server.on("PUT", "/stream", ServerReply::text(200, "{}"));
    EXPECT_FALSE(server.waitForRequests(1, 10ms));
    auto sender = std::async(std::launch::async, [&] { return Http::put(server.url("/stream"), "[]", quick()).status; });
    EXPECT_TRUE(server.waitForRequests(1, 60s));
    EXPECT_EQ(sender.get(), 200);
}

TEST(HttpsServer, StopsPromptlyWhileRepliesAreDelayedOrStalled) {
    auto server = std::make_unique<HttpsServer>();
    ServerReply late = ServerReply::text(200, "late");
    late.delayBeforeHeadersSec = 30;
    server->on("GET", "/late", late);
    ServerReply stalled = ServerReply::text(200, std::string(100, 's'));
    stalled.stallAfterBytes = 5;
    server->on("GET", "/stall", stalled);
    Http::Options patient;
    patient.timeoutSec = 30;
    const std::string lateUrl = server->url("/late");
    const std::string stallUrl = server->url("/stall");
    auto lateClient = std::async(std::launch::async, [&] { return Http::get(lateUrl, patient); });
    auto stallClient = std::async(std::launch::async, [&] { return Http::get(stallUrl, patient); });
    // Both handlers are running: one waits before its headers, the other
    // stalls after five bytes, and each ends as soon as the server stops.
    ASSERT_TRUE(server->waitForRequests(2, 60s));

    const auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(lateClient.get().succeeded());
    EXPECT_FALSE(stallClient.get().succeeded());
}

}  // namespace
}  // namespace hexora
