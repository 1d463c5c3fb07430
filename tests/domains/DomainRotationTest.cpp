#include "services/api/ApiConfig.hpp"
#include "services/api/DomainRotation.hpp"
#include "support/RunState.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <set>

namespace hexora {
namespace {

const std::vector<std::string> twoDomains = {"https://a.example", "https://b.example"};

/// Sends to a fake server park: the domains in `up` answer, the others fail.
struct FakeServers {
    std::set<std::string> up;
    std::vector<std::string> sent;
    std::vector<std::int64_t> stored;

    DomainAttempt attempt() {
        return [this](const std::string& url, std::int64_t) {
            sent.push_back(url);
            return up.count(url) > 0;
        };
    }
    StoreDomainIndex store() {
        return [this](std::int64_t index) { stored.push_back(index); };
    }
};

class DomainRotationTest : public test::RunStateFixture {};

}  // namespace

TEST_F(DomainRotationTest, RetryCountTwoAlternatesOverFourAttempts) {
    ApiConfig::Common::urlRetryCount = 2;
    ApiDomainArray list(twoDomains);
    list.setCurrentIndex(1);
    FakeServers servers;
    const auto outcome = rotateOverDomains(list, servers.attempt(), servers.store());
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.attemptsSent, 4);
    EXPECT_EQ(servers.sent, (std::vector<std::string>{"https://b.example", "https://a.example", "https://b.example",
                                                      "https://a.example"}));
    // All failed: nothing stored, the index is what it was.
    EXPECT_TRUE(servers.stored.empty());
    EXPECT_EQ(list.currentIndex(), 1);
}

TEST_F(DomainRotationTest, SuccessStoresTheIndexAndTheNextRequestStartsThere) {
    ApiDomainArray list(twoDomains);
    FakeServers servers{{"https://b.example"}, {}, {}};
    auto outcome = rotateOverDomains(list, servers.attempt(), servers.store());
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.index, 1);
    EXPECT_EQ(outcome.attemptsSent, 2);
    EXPECT_EQ(servers.stored, std::vector<std::int64_t>{1});
    EXPECT_EQ(list.currentIndex(), 1);

    // Any later caller on the list begins with the domain that answered.
    servers.sent.clear();
    outcome = rotateOverDomains(list, servers.attempt(), {});
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(servers.sent, std::vector<std::string>{"https://b.example"});
}

TEST_F(DomainRotationTest, StartingAtTheSecondDomainFallsBackToTheFirst) {
    ApiDomainArray list(twoDomains);
    list.setCurrentIndex(1);
    FakeServers servers{{"https://a.example"}, {}, {}};
    const auto outcome = rotateOverDomains(list, servers.attempt(), servers.store());
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(servers.sent, (std::vector<std::string>{"https://b.example", "https://a.example"}));
    EXPECT_EQ(servers.stored, std::vector<std::int64_t>{0});
    EXPECT_EQ(list.currentIndex(), 0);
}

TEST_F(DomainRotationTest, AttemptCountRules) {
    struct Case {
        std::int64_t retryCount;
        std::size_t domains;
        std::int64_t attempts;
    };
    const Case cases[] = {
        {1, 2, 2}, {2, 2, 4}, {3, 1, 3}, {0, 2, 0}, {-1, 2, 0}, {1, 0, 0}, {INT64_MAX, 2, INT64_MAX},
    };
    for (const auto& c : cases) {
        ApiDomainArray list(std::vector<std::string>(c.domains, "https://a.example"));
        EXPECT_EQ(rotationAttempts(list, c.retryCount), c.attempts) << c.retryCount << " x " << c.domains;
    }
}

TEST_F(DomainRotationTest, NoAttemptsSendsNothing) {
    for (std::int64_t retryCount : {0, -3}) {
        ApiConfig::Common::urlRetryCount = retryCount;
        ApiDomainArray list(twoDomains);
        FakeServers servers{{"https://a.example"}, {}, {}};
        const auto outcome = rotateOverDomains(list, servers.attempt(), servers.store());
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.attemptsSent, 0);
        EXPECT_TRUE(servers.sent.empty());
    }
}

TEST_F(DomainRotationTest, AttemptsAreTakenOnceAtTheStart) {
    // The list grows while the request runs (as a configuration reply could make it): the count stays.
    ApiDomainArray list(twoDomains);
    std::int64_t sent = 0;
    const auto outcome = rotateOverDomains(
        list,
        [&](const std::string&, std::int64_t) {
            if (++sent == 1) list.replaceUrls({"https://x.example", "https://y.example", "https://z.example"});
            return false;
        },
        {});
    EXPECT_EQ(outcome.attemptsSent, 2);
    EXPECT_EQ(sent, 2);
}

TEST_F(DomainRotationTest, ExplicitAttemptCountAndTheIndexHandedToTheSender) {
    ApiDomainArray list({"https://a.example", "https://b.example", "https://c.example"});
    list.setCurrentIndex(2);
    std::vector<std::int64_t> indices;
    rotateOverDomains(
        list, 5,
        [&](const std::string& url, std::int64_t index) {
            EXPECT_EQ(url, list.urlAt(index));
            indices.push_back(index);
            return false;
        },
        {});
    EXPECT_EQ(indices, (std::vector<std::int64_t>{2, 0, 1, 2, 0}));
}

TEST_F(DomainRotationTest, OneAttemptAtATimeWalksTheSameOrderWithTheSameBudget) {
    // The walk a download unit makes, step by step: the index and the attempts left after each failure.
    ApiConfig::Common::urlRetryCount = 2;
    ApiDomainArray list(twoDomains);
    list.setCurrentIndex(1);
    DomainRotation rotation(&list);
    std::vector<std::pair<std::int64_t, std::int64_t>> walk{{rotation.index(), rotation.attemptsLeft()}};
    while (rotation.mayMoveOn()) {
        rotation.moveOn(&list);
        walk.emplace_back(rotation.index(), rotation.attemptsLeft());
    }
    EXPECT_EQ(walk, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, 3}, {0, 2}, {1, 1}, {0, 0}}));

    // An answer is recorded where the next request starts.
    std::vector<std::int64_t> stored;
    rotation.answered(list, [&](std::int64_t index) { stored.push_back(index); });
    EXPECT_EQ(stored, std::vector<std::int64_t>{0});
    EXPECT_EQ(list.currentIndex(), 0);

    // Without a list, or without a budget, no further attempt is allowed.
    for (const DomainRotation& none : {DomainRotation(nullptr), DomainRotation(&list, 0)}) {
        EXPECT_EQ(none.index(), 0);
        EXPECT_EQ(none.attemptsLeft(), -1);
        EXPECT_FALSE(none.mayMoveOn());
    }
}

TEST_F(DomainRotationTest, NetworkSettingsDefaults) {
    ApiConfig::Common::urlRetryCount = 7;
    ApiConfig::Common::webTimeoutSec = 30.0;
    ApiConfig::Download::timeoutSec = 5.0;
    ApiConfig::resetToDefaults();
    EXPECT_EQ(ApiConfig::Common::urlRetryCount.load(), 1);
    EXPECT_DOUBLE_EQ(ApiConfig::Common::webTimeoutSec.load(), 15.0);
    EXPECT_DOUBLE_EQ(ApiConfig::Download::timeoutSec.load(), 60.0);
}

}  // namespace hexora
