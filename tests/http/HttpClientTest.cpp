#include "services/http/HttpClient.hpp"
#include "services/http/TrustedCertificates.hpp"
#include "LocalCertificateChain.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/SmallFileSystem.hpp"
#include "support/TempDir.hpp"
#include "support/server/HttpsServer.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <cstring>
#include <thread>

namespace hexora {
namespace {
using namespace std::chrono_literals;
using test::HttpsServer;
using test::ServerReply;

// A timeout that only bounds a broken test: replies come at once here.
Http::Options quick(double timeoutSec = 60.0) {
    Http::Options options;
    options.timeoutSec = timeoutSec;
    return options;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A port on which nothing listens: a server that was just stopped.
int closedPort() {
    HttpsServer server;
    const int port = server.port();
    server.stop();
    return port;
}

struct ReplyCase {
    const char* name;
    ServerReply reply;
    long status;
    std::string body;
    bool succeeded;
};

TEST(HttpClient, GetReportsStatusHeadersAndBodyOfEveryReply) {
    ServerReply withHeader = ServerReply::text(200, "hello");
    withHeader.headers = {{"X-Trace", "abc"}};
    const std::vector<ReplyCase> cases = {
        {"ok", withHeader, 200, "hello", true},
        {"not found with body", ServerReply::text(404, "missing"), 404, "missing", false},
        {"server error", ServerReply::text(503, "<html>busy</html>"), 503, "<html>busy</html>", false},
        {"no content", ServerReply::text(204, ""), 204, "", true},
    };
    HttpsServer server;
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string path = "/case" + std::to_string(i);
        server.on("GET", path, c.reply);
        const Http::Result result = Http::get(server.url(path), quick());
        EXPECT_TRUE(result.completed());
        EXPECT_EQ(result.failure, Http::Failure::None);
        EXPECT_EQ(result.error, "");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.body, c.body);
        EXPECT_EQ(result.succeeded(), c.succeeded);
    }
    EXPECT_EQ(Http::get(server.url("/case0"), quick()).header("x-trace"), "abc");
}

TEST(HttpClient, PostAndPutSendBodyAndHeadersInOrder) {
    HttpsServer server;
    server.on("POST", "/conf", ServerReply::json(200, {{"result", 1}}));
    server.on("PUT", "/stream", ServerReply::text(200, "{}"));
    Http::Options options = quick();
    options.headers = {{"Content-Type", "application/json"}, {"x-api-key", "K1"}};

    const auto posted = Http::post(server.url("/conf"), R"({"p":22})", options);
    EXPECT_EQ(posted.status, 200);
    EXPECT_EQ(posted.body, R"({"result":1})");
    EXPECT_EQ(posted.header("Content-Type"), "application/json");
    const auto put = Http::put(server.url("/stream"), "[1,2]", options);
    EXPECT_EQ(put.status, 200);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, R"({"p":22})");
    EXPECT_EQ(requests[0].header("content-type"), "application/json");
    EXPECT_EQ(requests[0].header("x-api-key"), "K1");
    EXPECT_FALSE(requests[0].header("Expect").has_value());
    EXPECT_EQ(requests[1].method, "PUT");
    EXPECT_EQ(requests[1].body, "[1,2]");
    EXPECT_EQ(requests[1].header("x-api-key"), "K1");
}

TEST(HttpClient, LargeRequestBodyIsSentWhole) {
    HttpsServer server;
    server.on("POST", "/big", ServerReply::text(200, "ok"));
    const std::string body(3 * 1024 * 1024, 'x');
    const auto result = Http::post(server.url("/big"), body, quick());
    EXPECT_EQ(result.status, 200);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].body.size(), body.size());
    EXPECT_FALSE(server.requests()[0].header("Content-Type").has_value());
}

TEST(HttpClient, UntrustedCertificateFailsWithTheLibraryDescription) {
    HttpsServer trusted;  // makes the test authority the extra trusted one
    HttpsServer untrusted(HttpsServer::Config{.trusted = false});
    untrusted.on("GET", "/x", ServerReply::text(200, "must not be read"));

    const auto result = Http::get(untrusted.url("/x"), quick());
    EXPECT_EQ(result.failure, Http::Failure::Transport);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.body, "");
    EXPECT_NE(result.error.find("certificate"), std::string::npos) << result.error;
    EXPECT_TRUE(untrusted.requests().empty());
}

TEST(HttpClient, WithoutTheTestAuthorityTheServerIsNotTrusted) {
    HttpsServer server;
    server.on("GET", "/x", ServerReply::text(200, "hi"));
    Http::TrustedCertificates::setExtraCaFile(std::nullopt);
    const auto refused = Http::get(server.url("/x"), quick());
    Http::TrustedCertificates::setExtraCaFile(HttpsServer::caFile());
    EXPECT_EQ(refused.failure, Http::Failure::Transport);
    EXPECT_FALSE(refused.error.empty());
    EXPECT_EQ(Http::get(server.url("/x"), quick()).body, "hi");
}

// The authorities are parsed once and kept; a changed extra file (here the
// same path with another authority's content) is read again.
TEST(HttpClient, AnExtraAuthorityFileIsReadAgainWhenItChanges) {
    HttpsServer server;
    server.on("GET", "/x", ServerReply::text(200, "hi"));
    // A second server for the last step: a resumed TLS session would skip the certificate check.
    HttpsServer fresh;
    const test::TempDir dir;
    tools::LocalCertificateChain{.organization = "Another authority",
                                 .authorityName = "Another authority",
                                 .errorContext = "test certificates",
                                 .caFile = dir / "other.pem",
                                 .certFile = dir / "other-server.pem",
                                 .keyFile = dir / "other-key.pem"}
        .write();
    // Replaced by a rename: another inode, whatever the size and the clock's grain.
    const auto extra = dir / "extra.pem";
    const auto putInPlace = [&](const std::filesystem::path& authority) {
        std::filesystem::rename(dir.write("next.pem", test::readFile(authority)), extra);
    };
    putInPlace(dir / "other.pem");
    Http::TrustedCertificates::setExtraCaFile(extra.string());

    const auto refused = Http::get(server.url("/x"), quick());
    putInPlace(HttpsServer::caFile());
    const auto trusted = Http::get(server.url("/x"), quick());
    putInPlace(dir / "other.pem");
    const auto refusedAgain = Http::get(fresh.url("/x"), quick());
    Http::TrustedCertificates::setExtraCaFile(HttpsServer::caFile());

    EXPECT_EQ(refused.failure, Http::Failure::Transport);
    EXPECT_EQ(trusted.body, "hi") << trusted.error;
    EXPECT_EQ(refusedAgain.failure, Http::Failure::Transport);
}

TEST(HttpClient, UnreadableExtraAuthorityFileFailsTheTransfer) {
    HttpsServer server;
    Http::TrustedCertificates::setExtraCaFile("/nonexistent/ca.pem");
    const auto result = Http::get(server.url("/x"), quick());
    Http::TrustedCertificates::setExtraCaFile(HttpsServer::caFile());
    EXPECT_EQ(result.failure, Http::Failure::Transport);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(server.requests().empty());
}

TEST(HttpClient, ExtraAuthorityComesFromTheEnvironmentUnlessSet) {
    Http::TrustedCertificates::setExtraCaFile(std::nullopt);
    setenv("HEXORA_CA_FILE", "/tmp/env-ca.pem", 1);
#if HEXORA_ENDPOINT_OVERRIDES
    EXPECT_EQ(Http::TrustedCertificates::extraCaFile(), "/tmp/env-ca.pem");
#else
    EXPECT_EQ(Http::TrustedCertificates::extraCaFile(), std::nullopt);
#endif
    Http::TrustedCertificates::setExtraCaFile("/tmp/set.pem");
    EXPECT_EQ(Http::TrustedCertificates::extraCaFile(), "/tmp/set.pem");
    unsetenv("HEXORA_CA_FILE");
    Http::TrustedCertificates::setExtraCaFile(HttpsServer::caFile());
}

TEST(HttpClient, UnreachableHostFailsWithoutStatus) {
    const auto result = Http::get("https://127.0.0.1:" + std::to_string(closedPort()) + "/x", quick());
    EXPECT_EQ(result.failure, Http::Failure::Transport);
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(result.error.empty());
}

TEST(HttpClient, PlainHttpAndMalformedUrlsAreRefused) {
    for (const std::string url : {"http://127.0.0.1:1/x", "  https://127.0.0.1/x", "not a url", ""}) {
        SCOPED_TRACE(url);
        const auto result = Http::get(url, quick());
        EXPECT_EQ(result.failure, Http::Failure::Transport);
        EXPECT_EQ(result.status, 0);
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(HttpClient, RedirectsAreFollowedAndTheFinalReplyCounts) {
    HttpsServer server;
    ServerReply moved = ServerReply::text(302, "moved");
    moved.headers = {{"Location", server.url("/there")}, {"X-First", "1"}};
    server.on("GET", "/here", moved);
    server.on("GET", "/there", ServerReply::text(200, "arrived"));
    const auto result = Http::get(server.url("/here"), quick());
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, "arrived");
    EXPECT_FALSE(result.header("X-First").has_value());
}

TEST(HttpClient, IdleTimeoutKeepsATricklingReplyAndCutsASilentOne) {
    // The connection is made by a first request, so that only the reply
    // itself runs against the short timeout, also on a busy machine.
    HttpsServer server(HttpsServer::Config{.keepAlive = true});
    server.on("GET", "/warm", ServerReply::text(200, "warm"));
    ServerReply trickle = ServerReply::text(200, std::string(12, 't'));
    trickle.trickleBytes = 1;
    trickle.trickleIntervalSec = 0.1;  // over a second in all, never 0.8 s without a byte
    server.on("GET", "/trickle", trickle);
    ServerReply stall = ServerReply::text(200, std::string(100, 's'));
    stall.stallAfterBytes = 10;
    server.on("GET", "/stall", stall);
    ServerReply late = ServerReply::text(200, "late");
    late.delayBeforeHeadersSec = 5;
    server.on("GET", "/late", late);

    ASSERT_EQ(Http::get(server.url("/warm"), quick()).status, 200);
    Http::Options idleOnly = quick(0.8);
    idleOnly.minBytesPerSec = 0;  // the trickle is far below the minimum rate
    const auto kept = Http::get(server.url("/trickle"), idleOnly);
    EXPECT_EQ(kept.failure, Http::Failure::None) << kept.error;
    EXPECT_EQ(kept.body, std::string(12, 't'));

    ASSERT_EQ(Http::get(server.url("/warm"), quick()).status, 200);
    auto start = std::chrono::steady_clock::now();
    const auto cut = Http::get(server.url("/stall"), quick(0.8));
    EXPECT_EQ(cut.failure, Http::Failure::Timeout);
    EXPECT_EQ(cut.status, 200);
    EXPECT_EQ(cut.body, std::string(10, 's'));
    EXPECT_NE(cut.error.find("Timeout"), std::string::npos) << cut.error;
    EXPECT_LT(secondsSince(start), 3.0);

    ASSERT_EQ(Http::get(server.url("/warm"), quick()).status, 200);
    start = std::chrono::steady_clock::now();
    const auto silent = Http::get(server.url("/late"), quick(0.8));
    EXPECT_EQ(silent.failure, Http::Failure::Timeout);
    EXPECT_EQ(silent.status, 0);
    EXPECT_LT(secondsSince(start), 3.0);
}

TEST(HttpClient, ATransferBelowTheMinimumRateForItsTimeoutFailsLikeAnIdleOne) {
    HttpsServer server(HttpsServer::Config{.keepAlive = true});
    server.on("GET", "/warm", ServerReply::text(200, "warm"));
    ServerReply drip = ServerReply::text(200, std::string(10000, 'd'));
    drip.trickleBytes = 1;
    drip.trickleIntervalSec = 0.05;  // never idle for the timeout, but ~20 bytes/s
    server.on("GET", "/drip", drip);
    ServerReply steady = ServerReply::text(200, std::string(8000, 's'));
    steady.trickleBytes = 400;
    steady.trickleIntervalSec = 0.05;  // ~8000 bytes/s, over twice the timeout in all
    server.on("GET", "/steady", steady);
    Http::Options options = quick(0.5);
    options.minBytesPerSec = 1024;

    ASSERT_EQ(Http::get(server.url("/warm"), quick()).status, 200);
    const auto dripped = Http::get(server.url("/drip"), options);
    EXPECT_EQ(dripped.failure, Http::Failure::Timeout);
    EXPECT_NE(dripped.error.find("Timeout"), std::string::npos) << dripped.error;
    EXPECT_NE(dripped.error.find("fewer than 512 bytes moved in 0.5 s"), std::string::npos) << dripped.error;
    EXPECT_LT(dripped.body.size(), 10000u);

    ASSERT_EQ(Http::get(server.url("/warm"), quick()).status, 200);
    const auto kept = Http::get(server.url("/steady"), options);
    EXPECT_EQ(kept.failure, Http::Failure::None) << kept.error;
    EXPECT_EQ(kept.body.size(), 8000u);
}

TEST(HttpClient, ABodyLongerThanItsAnnouncedLengthFails) {
    HttpsServer server;
    ServerReply longer = ServerReply::text(200, std::string(5000, 'x'));
    longer.announcedLength = 100;
    server.on("GET", "/longer", longer);
    const auto result = Http::get(server.url("/longer"), quick());
    EXPECT_EQ(result.failure, Http::Failure::BodyTooLarge) << result.error;
    EXPECT_LE(result.body.size(), 100u);
}

TEST(HttpClient, ConnectionDroppedMidBodyFails) {
    HttpsServer server;
    ServerReply dropped = ServerReply::text(200, std::string(1000, 'd'));
    dropped.dropAfterBytes = 300;
    server.on("GET", "/drop", dropped);
    const auto result = Http::get(server.url("/drop"), quick());
    EXPECT_EQ(result.failure, Http::Failure::Transport);
    EXPECT_EQ(result.status, 200);
    EXPECT_FALSE(result.succeeded());
    EXPECT_LT(result.body.size(), 1000u);
    EXPECT_FALSE(result.error.empty());
}

TEST(HttpClient, BodyLargerThanTheCapFails) {
    HttpsServer server;
    server.on("GET", "/small", ServerReply::text(200, std::string(1000, 'a')));
    server.on("GET", "/big", ServerReply::text(200, std::string(Http::DefaultMaxBodyBytes + 1, 'b')));
    server.on("GET", "/exact", ServerReply::text(200, std::string(Http::DefaultMaxBodyBytes, 'c')));

    Http::Options capped = quick();
    capped.maxBodyBytes = 999;
    const auto small = Http::get(server.url("/small"), capped);
    EXPECT_EQ(small.failure, Http::Failure::BodyTooLarge);
    EXPECT_NE(small.error.find("999"), std::string::npos) << small.error;
    EXPECT_LE(small.body.size(), 999u);

    const auto big = Http::get(server.url("/big"), quick());
    EXPECT_EQ(big.failure, Http::Failure::BodyTooLarge);
    EXPECT_LE(big.body.size(), Http::DefaultMaxBodyBytes);
    const auto exact = Http::get(server.url("/exact"), quick());
    EXPECT_EQ(exact.failure, Http::Failure::None);
    EXPECT_EQ(exact.body.size(), Http::DefaultMaxBodyBytes);
}

TEST(HttpClient, ShouldAbortStopsAWaitingTransfer) {
    HttpsServer server;
    ServerReply late = ServerReply::text(200, "late");
    late.delayBeforeHeadersSec = 60;  // the server stops it at the end
    server.on("GET", "/late", late);
    std::atomic<bool> cancel{false};
    std::chrono::steady_clock::time_point cancelledAt;
    Http::Options options = quick(60);
    options.shouldAbort = [&] { return cancel.load(); };
    std::thread canceller([&] {
        // Cancel once the transfer is waiting for the reply.
        server.waitForRequests(1, 60s);
        cancelledAt = std::chrono::steady_clock::now();
        cancel = true;
    });
    const auto result = Http::get(server.url("/late"), options);
    const auto returnedAt = std::chrono::steady_clock::now();
    canceller.join();
    EXPECT_EQ(result.failure, Http::Failure::Aborted);
    EXPECT_FALSE(result.error.empty());
    // Only the time from the cancel to the return is bounded, not the connect.
    EXPECT_LT(std::chrono::duration<double>(returnedAt - cancelledAt).count(), 3.0);
}

TEST(HttpClient, ManyThreadsShareTheClient) {
    HttpsServer server(HttpsServer::Config{.keepAlive = true});
    server.on("GET", "/n", [](const test::RecordedRequest& request) {
        return ServerReply::text(200, request.target.substr(request.target.find('=') + 1));
    });
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const std::string id = std::to_string(t * 100 + i);
                const auto result = Http::get(server.url("/n?id=" + id), quick());
                if (result.status == 200 && result.body == id) {
                    ++good;
                } else {
                    ADD_FAILURE() << result.status << " " << result.error;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(good.load(), 40);
    EXPECT_EQ(server.requestCount(), 40u);
}

// ---- downloads ----

class HttpDownload : public ::testing::Test {
protected:
    test::TempDir dir;
    HttpsServer server;
};

TEST_F(HttpDownload, StreamsA2xxBodyToTheFileWithProgress) {
    std::string content(300 * 1024, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    server.on("GET", "/file.bin", ServerReply::text(200, content));
    const auto target = dir / "file.bin";
    dir.write("file.bin", "old content that is longer than nothing");

    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    const auto result = Http::download(server.url("/file.bin"), target, quick(), [&](std::uint64_t done, std::uint64_t total) {
        calls.emplace_back(done, total);
        return true;
    });
    EXPECT_EQ(result.failure, Http::Failure::None) << result.error;
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, "");
    EXPECT_EQ(test::readFile(target), content);
    ASSERT_FALSE(calls.empty());
    for (size_t i = 1; i < calls.size(); ++i) EXPECT_GT(calls[i].first, calls[i - 1].first);
    EXPECT_EQ(calls.back().first, content.size());
    EXPECT_EQ(calls.back().second, content.size());
}

TEST_F(HttpDownload, ProgressCallbackCanAbort) {
    server.on("GET", "/file.bin", ServerReply::text(200, std::string(2 * 1024 * 1024, 'z')));
    int calls = 0;
    const auto result = Http::download(server.url("/file.bin"), dir / "file.bin", quick(), [&](std::uint64_t, std::uint64_t) {
        return ++calls < 2;
    });
    EXPECT_EQ(result.failure, Http::Failure::Aborted);
    EXPECT_EQ(calls, 2);
    EXPECT_LT(std::filesystem::file_size(dir / "file.bin"), 2u * 1024 * 1024);
}

TEST_F(HttpDownload, ErrorReplyGoesToMemoryAndLeavesTheFileAlone) {
    server.on("GET", "/missing.bin", ServerReply::text(404, "no such file"));
    const auto target = dir.write("missing.bin", "kept");
    bool called = false;
    const auto result = Http::download(server.url("/missing.bin"), target, quick(), [&](auto, auto) { return called = true; });
    EXPECT_EQ(result.failure, Http::Failure::None);
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(result.body, "no such file");
    EXPECT_EQ(test::readFile(target), "kept");
    EXPECT_FALSE(called);
}

TEST_F(HttpDownload, EmptyReplyLeavesAnEmptyFile) {
    server.on("GET", "/empty", ServerReply::text(200, ""));
    const auto target = dir.write("empty", "old");
    const auto result = Http::download(server.url("/empty"), target, quick());
    EXPECT_EQ(result.failure, Http::Failure::None);
    ASSERT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(std::filesystem::file_size(target), 0u);
}

TEST_F(HttpDownload, UnwritableTargetFailsWithItsPath) {
    server.on("GET", "/f", ServerReply::text(200, "data"));
    const auto target = dir / "no-such-folder" / "f";
    const auto result = Http::download(server.url("/f"), target, quick());
    EXPECT_EQ(result.failure, Http::Failure::Transport);
    EXPECT_NE(result.error.find(target.string()), std::string::npos) << result.error;
}

TEST_F(HttpDownload, AnEndlessBodyStopsAtTheCapAndALongerThanAnnouncedOneAtItsLength) {
    ServerReply endless;
    endless.endless = true;
    server.on("GET", "/endless", endless);
    ServerReply longer = ServerReply::text(200, std::string(300 * 1024, 'x'));
    longer.announcedLength = 1000;
    server.on("GET", "/longer", longer);
    Http::Options options = quick();
    options.maxUnannouncedDownloadBytes = 256 * 1024;

    const auto cut = Http::download(server.url("/endless"), dir / "endless", options);
    EXPECT_EQ(cut.failure, Http::Failure::BodyTooLarge) << cut.error;
    EXPECT_NE(cut.error.find("262144"), std::string::npos) << cut.error;
    EXPECT_LE(std::filesystem::file_size(dir / "endless"), 256u * 1024);

    const auto longerResult = Http::download(server.url("/longer"), dir / "longer", options);
    EXPECT_EQ(longerResult.failure, Http::Failure::BodyTooLarge) << longerResult.error;
    EXPECT_LE(test::readFile(dir / "longer").size(), 1000u);
}

// A body with more bytes than its disk has room for, endless or announced,
// stops before the disk falls below a reserve of 1 MiB and close to it; what
// was written stays for the caller to remove. `freeBytes` tells what the
// disk has left; `freshDisk` readies it for the next download.
void expectBodiesStopAtTheReserve(HttpsServer& server, const std::filesystem::path& file,
                                  const std::function<std::uint64_t()>& freeBytes,
                                  const std::function<void()>& freshDisk) {
    constexpr std::uint64_t Reserve = 1 << 20;
    ServerReply endless;
    endless.endless = true;
    server.on("GET", "/endless", endless);
    server.on("GET", "/announced", ServerReply::text(200, std::string(4 << 20, 'a')));
    Http::Options options = quick();
    options.keepFreeBytes = Reserve;

    for (const char* path : {"/endless", "/announced"}) {
        SCOPED_TRACE(path);
        freshDisk();
        const auto result = Http::download(server.url(path), file, options);
        EXPECT_EQ(result.failure, Http::Failure::Transport);
        EXPECT_NE(result.error.find(file.string() + ": the download would leave less than 1048576 bytes free"),
                  std::string::npos)
            << result.error;
        EXPECT_GE(freeBytes(), Reserve);
        EXPECT_LT(freeBytes(), Reserve + 256 * 1024);  // it did fill the disk up to the reserve
        EXPECT_GT(std::filesystem::file_size(file), 1u << 20);
        std::filesystem::remove(file);
    }
}

TEST_F(HttpDownload, ABodyStopsBeforeItsDiskFallsBelowTheReserve) {
    const test::SmallFileSystem disk(dir / "disk", 3 << 20);
    if (!disk.available()) GTEST_SKIP() << disk.reason();
    expectBodiesStopAtTheReserve(
        server, dir / "disk" / "file", [&] { return disk.freeBytes(); }, [] {});
}

// The same on any machine: the file's disk has 3 MiB free, as the system
// tells it on the open file, and shrinks with every byte written.
TEST_F(HttpDownload, ABodyStopsBeforeItsDiskFallsBelowTheReserveOnAnyMachine) {
    std::filesystem::create_directories(dir / "disk");
    test::ScopedFileSystem disk;
    expectBodiesStopAtTheReserve(
        server, dir / "disk" / "file", [&] { return disk->freeBytes(); },
        [&] { disk->limitSpace((dir / "disk/*").string(), 3 << 20); });
}

// The file cannot be created or written (no right, no room, no quota left, a
// disk error): the download fails with the system's reason and its verb.
TEST_F(HttpDownload, AFileThatCannotBeWrittenFailsWithTheSystemsReason) {
    using Call = test::FakeFileSystem::Call;
    server.on("GET", "/f", ServerReply::text(200, std::string(64 * 1024, 'f')));
    const struct {
        Call call;
        int error;
        const char* verb;
    } cases[] = {{Call::Open, EACCES, "create"}, {Call::Open, ENOSPC, "create"}, {Call::Write, ENOSPC, "write"},
                 {Call::Write, EDQUOT, "write"},  {Call::Write, EIO, "write"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::strerror(c.error));
        test::ScopedFileSystem disk;
        disk->fail(c.call, (dir / "file").string(), c.error);
        const auto result = Http::download(server.url("/f"), dir / "file", quick());
        EXPECT_EQ(result.failure, Http::Failure::Transport);
        EXPECT_NE(result.error.find(std::string("Could not ") + c.verb + " " + (dir / "file").string() + ": " +
                                    std::strerror(c.error)),
                  std::string::npos)
            << result.error;
    }
}

TEST_F(HttpDownload, ADownloadNeverWritesThroughALink) {
    server.on("GET", "/f", ServerReply::text(200, "data"));
    const auto elsewhere = dir.write("elsewhere", "kept");
    std::filesystem::create_symlink(elsewhere, dir / "link");
    const auto result = Http::download(server.url("/f"), dir / "link", quick());
    EXPECT_EQ(result.failure, Http::Failure::Transport);
    EXPECT_EQ(test::readFile(elsewhere), "kept");
}

TEST_F(HttpDownload, LargeFileIsNotCappedLikeAMemoryBody) {
    const std::string content(3 * 1024 * 1024, 'L');
    server.on("GET", "/large", ServerReply::text(200, content));
    Http::Options options = quick();
    options.maxBodyBytes = 1024;
    const auto result = Http::download(server.url("/large"), dir / "large", options);
    EXPECT_EQ(result.failure, Http::Failure::None) << result.error;
    EXPECT_EQ(std::filesystem::file_size(dir / "large"), content.size());
}

TEST_F(HttpDownload, DroppedConnectionFailsTheDownload) {
    ServerReply dropped = ServerReply::text(200, std::string(200 * 1024, 'd'));
    dropped.dropAfterBytes = 100 * 1024;
    server.on("GET", "/drop", dropped);
    const auto result = Http::download(server.url("/drop"), dir / "drop", quick());
    EXPECT_EQ(result.failure, Http::Failure::Transport);
    EXPECT_FALSE(result.succeeded());
}

}  // namespace
}  // namespace hexora
