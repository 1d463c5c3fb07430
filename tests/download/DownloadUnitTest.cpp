// DownloadUnit on its own: states, addresses, retries and cancellation.
#include "workers/common/download/DownloadUnit.hpp"

#include "DownloadFixture.hpp"
#include "support/LogCapture.hpp"

namespace hexora::Worker::Common {
namespace {
using State = DownloadUnit::DownloadState;
using test::ServerReply;

TEST(DownloadStateTest, RawValuesMapBothWays) {
    const std::vector<std::pair<int, std::optional<State>>> table = {
        {0, State::None},  {1, State::Downloading}, {2, State::Cancelling},
        {3, State::Success}, {-1, State::Failed},   {4, std::nullopt},
        {-2, std::nullopt},
    };
    for (const auto& [raw, state] : table) {
        EXPECT_EQ(DownloadUnit::downloadStateFromRawValue(raw), state) << raw;
        if (state) {
            EXPECT_EQ(static_cast<int>(*state), raw);
        }
    }
}

class DownloadUnitTest : public test::DownloadFixture {};

TEST_F(DownloadUnitTest, AUnitStartsOnTheCurrentDomainWithOneFurtherAttemptPerDomain) {
    struct Case {
        std::int64_t retryCount;
        std::int64_t currentIndex;
        std::int64_t expectedRetries;
    };
    for (const Case c : {Case{1, 0, 1}, Case{1, 1, 1}, Case{2, 1, 3}, Case{0, 0, -1}}) {
        ApiConfig::Common::urlRetryCount.store(c.retryCount);
        ApiDomains::fileList()->setCurrentIndex(c.currentIndex);
        DownloadUnit unit("hash/a.zip", (temp / "a.zip").string());
        EXPECT_EQ(unit.state(), State::None);
        EXPECT_EQ(unit.progress(), 0.0);
        EXPECT_EQ(unit.retryCount(), c.expectedRetries);
        EXPECT_EQ(unit.currentIndex(), c.currentIndex);
        const auto& server = c.currentIndex == 0 ? primary : fallback;
        EXPECT_EQ(unit.url(), server.url("/update/hash/a.zip"));
    }
}

TEST_F(DownloadUnitTest, RetryMovesToTheNextDomainAndWraps) {
    ApiConfig::Common::urlRetryCount.store(2);
    DownloadUnit unit("hash/a.zip", (temp / "a.zip").string());
    const std::vector<std::pair<std::int64_t, std::string>> steps = {
        {1, fallback.url("/update/hash/a.zip")}, {0, primary.url("/update/hash/a.zip")},
        {1, fallback.url("/update/hash/a.zip")}};
    std::int64_t retries = unit.retryCount();
    for (const auto& [index, url] : steps) {
        ASSERT_TRUE(unit.retry());
        EXPECT_EQ(unit.currentIndex(), index);
        EXPECT_EQ(unit.url(), url);
        EXPECT_EQ(unit.retryCount(), --retries);
        EXPECT_EQ(unit.state(), State::None);
    }
}

TEST_F(DownloadUnitTest, WithoutFileDomainsTheAddressHasNoBase) {
    ApiDomains::resetForTesting();
    DownloadUnit unit("hash/a.zip", (temp / "a.zip").string());
    EXPECT_EQ(unit.currentIndex(), 0);
    EXPECT_EQ(unit.url(), "/update/hash/a.zip");
    ASSERT_TRUE(unit.retry());
    EXPECT_EQ(unit.currentIndex(), 0);
    EXPECT_EQ(unit.url(), "/update/hash/a.zip");
    unit.start();
    EXPECT_EQ(unit.state(), State::Failed);
    EXPECT_TRUE(unit.isFinal());
}

TEST_F(DownloadUnitTest, ACancelledUnitEndsFailedWithoutATransferAndIsNeverRetried) {
    test::LogCapture log;
    DownloadUnit unit("hash/a.zip", (temp / "a.zip").string());
    unit.cancel();
    EXPECT_EQ(unit.state(), State::Cancelling);
    EXPECT_FALSE(unit.isFinal());
    unit.start();
    EXPECT_EQ(unit.state(), State::Failed);
    EXPECT_TRUE(unit.isFinal());
    EXPECT_FALSE(unit.retry());
    EXPECT_EQ(unit.state(), State::Failed);
    EXPECT_TRUE(log.contains("DownloadUnit cancel : " + primary.url("/update/hash/a.zip")));
    EXPECT_TRUE(log.contains("DownloadUnit can't start (-1) : "));
    EXPECT_EQ(primary.requestCount(), 0u);
}

TEST_F(DownloadUnitTest, AFailedAttemptWithRetriesLeftIsNotFinalUntilItsLastAttempt) {
    primary.on("GET", "/update/hash/a.zip", ServerReply::text(500, "down"));
    fallback.on("GET", "/update/hash/a.zip", ServerReply::text(500, "down"));
    DownloadUnit unit("hash/a.zip", (temp / "a.zip").string());
    unit.start();
    EXPECT_EQ(unit.state(), State::Failed);
    EXPECT_FALSE(unit.isFinal());  // a retry is still to come
    ASSERT_TRUE(unit.retry());
    unit.start();
    EXPECT_EQ(unit.state(), State::Failed);
    EXPECT_EQ(unit.retryCount(), 0);
    EXPECT_TRUE(unit.isFinal());
}

TEST_F(DownloadUnitTest, CancellingAFailedUnitThatWaitsForItsRetryMakesItFinal) {
    primary.on("GET", "/update/hash/a.zip", ServerReply::text(500, "down"));
    DownloadUnit unit("hash/a.zip", (temp / "a.zip").string());
    unit.start();
    ASSERT_FALSE(unit.isFinal());
    unit.cancel();
    EXPECT_EQ(unit.state(), State::Failed);
    EXPECT_TRUE(unit.isFinal());
    EXPECT_FALSE(unit.retry());
}

TEST_F(DownloadUnitTest, OnlyANoneUnitDownloads) {
    primary.on("GET", "/update/hash/a.zip", ServerReply::text(200, "content"));
    DownloadUnit unit("hash/a.zip", (temp / "a.zip").string());
    unit.start();
    EXPECT_EQ(unit.state(), State::Success);
    EXPECT_EQ(unit.progress(), 1.0);
    unit.start();  // a finished unit is not started again
    unit.cancel();
    EXPECT_EQ(unit.state(), State::Success);
    EXPECT_EQ(primary.requestCount(), 1u);
    EXPECT_EQ(test::readFile(temp / "a.zip"), "content");
}

}  // namespace
}  // namespace hexora::Worker::Common
