#pragma once
// The fixture of the request-layer tests: one local HTTPS server, the test
// clock, and the run state (an empty telemetry batch among it) reset before
// and after each test.
#include "services/http/HttpClient.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/TestClock.hpp"
#include "support/server/HttpsServer.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace hexora::test {

class RequestFixture : public RunStateFixture {
protected:
    static Rum::LogData onlyRecord() { return takeOnlyRecord(); }

    /// Expects the one pending record to be the refusal of a blank URL by
    /// `minorType`: "url is empty", "Failed", "ERROR", without data.
    static void expectBlankUrlRecord(const std::string& minorType) {
        const auto record = onlyRecord();
        EXPECT_EQ(record.MinorType, minorType);
        EXPECT_EQ(record.Event, "url is empty");
        EXPECT_EQ(record.EventState, "Failed");
        EXPECT_EQ(record.LogLevel, "ERROR");
        EXPECT_FALSE(record.Data);
    }

    /// A keep-alive server to which the calling thread already holds a
    /// connection (made by a GET of "/warm"), so that a request with a short
    /// timeout meets only its reply, not a TLS handshake on a busy machine.
    static std::unique_ptr<HttpsServer> connectedServer() {
        auto connected = std::make_unique<HttpsServer>(HttpsServer::Config{.keepAlive = true});
        connected->on("GET", "/warm", ServerReply::text(200, "warm"));
        EXPECT_EQ(Http::get(connected->url("/warm")).status, 200);
        return connected;
    }

    ScopedTestClock clock;
    HttpsServer server;
};

}  // namespace hexora::test
