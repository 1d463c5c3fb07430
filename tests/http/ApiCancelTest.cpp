// A cancelled run stops the API requests it waits for at once: the update-info
// post, the text request and the multi-URL text fetch, each against a server
// that has taken the request and sits on its reply. Only the time from the
// cancel to the return is bounded (never a connect or a TLS handshake).
#include "engine/CancellationToken.hpp"
#include "services/api/Api.hpp"
#include "services/api/UpdateInfoRequest.hpp"
#include "services/api/UpdateInfoResponse.hpp"
#include "services/http/RequestThreads.hpp"
#include "services/rum/RumApi.hpp"
#include "support/Eventually.hpp"
#include "support/server/RequestFixture.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

namespace hexora {
namespace {
using namespace std::chrono_literals;
using test::ServerReply;

// The web timeout of the API: far longer than the test may wait.
constexpr double Timeout = 15.0;
constexpr auto CancelToReturn = 5s;

class ApiCancel : public test::RequestFixture {
protected:
    ApiCancel() {
        ServerReply silent = ServerReply::text(200, "late");
        silent.delayBeforeHeadersSec = 120;  // cut short when the server stops
        server.on("POST", "/update/conf", silent);
        server.on("GET", "/text/0", silent);
        server.on("GET", "/text/1", silent);
    }

    std::function<bool()> shouldAbort() const {
        return [token = CancellationToken(source)] { return token.isCancelled(); };
    }

    // Runs `request` on a thread of its own, cancels once the server holds
    // `requests` requests, and expects the return within CancelToReturn of
    // the cancel; gives what the request returned (false on a late return).
    bool cancelWhileWaiting(std::size_t requests, const std::function<bool()>& request) {
        auto running = std::async(std::launch::async, request);
        EXPECT_TRUE(server.waitForRequests(requests, 60s));
        source->cancel();
        const bool returned = running.wait_for(CancelToReturn) == std::future_status::ready;
        EXPECT_TRUE(returned) << "no return within " << CancelToReturn.count() << " s of the cancel";
        return returned && running.get();
    }

    std::shared_ptr<CancellationTokenSource> source = std::make_shared<CancellationTokenSource>();
};

// A quit is no failure of the API: the stopped post queues no record.
TEST_F(ApiCancel, UpdateInfoPostStopsAtTheCancelWithoutARecord) {
    const ApiConf::UpdateInfo::Request request("1.0.0", 33);
    std::optional<ApiConf::UpdateInfo::Response> reply;
    const bool answered = cancelWhileWaiting(1, [&] {
        return request.post(server.url("/update"), Timeout, reply, shouldAbort());
    });
    EXPECT_FALSE(answered);
    EXPECT_FALSE(reply);
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
}

TEST_F(ApiCancel, TextRequestStopsAtTheCancelWithoutARecord) {
    const bool answered = cancelWhileWaiting(1, [&] {
        return Api::getText(server.url("/text/0"), Timeout, shouldAbort()).succeeded;
    });
    EXPECT_FALSE(answered);
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
}

TEST_F(ApiCancel, MultiUrlFetchStopsEveryRequestAtTheCancel) {
    const std::vector<std::string> urls = {server.url("/text/0"), server.url("/text/1")};
    const bool answered = cancelWhileWaiting(2, [&] { return Api::getText(urls, Timeout, shouldAbort()).has_value(); });
    EXPECT_FALSE(answered);
    // The requests left behind are stopped too: none waits for its timeout.
    EXPECT_TRUE(test::eventually([] { return RequestThreads::leftRunning().count() == 0; }, 5.0));
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
}

TEST_F(ApiCancel, AnAbortThatNeverComesLeavesTheRequestToItsReply) {
    server.on("GET", "/text/ok", ServerReply::text(200, "fine"));
    const auto result = Api::getText(server.url("/text/ok"), Timeout, shouldAbort());
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.result, "fine");
}

}  // namespace
}  // namespace hexora
