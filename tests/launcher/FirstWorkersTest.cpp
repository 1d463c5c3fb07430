#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerThread.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/rum/RumApi.hpp"
#include "support/FakeLauncherView.hpp"
#include "support/ScopedEnv.hpp"
#include "workers/FirstWorkers.hpp"
#include "workers/road/RoadSuccessors.hpp"
#include "workers/game/GCheckProcess.hpp"
#include "workers/game/GHandleOpenUrls.hpp"
#include "workers/game/GStart.hpp"
#include "workers/launcher/LBoot.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {

TEST(FirstWorkersTest, MakeTheBootChecksAndTheHandOffOnTheGivenThread) {
    auto manager = std::make_shared<UIUpdateManager>(std::make_shared<test::FakeLauncherView>(),
                                                     std::make_shared<test::FakeDisplayTimer>());
    auto thread = std::make_shared<Worker::WorkerThread>(manager);
    const auto factories = firstWorkers();

    auto boot = std::dynamic_pointer_cast<Worker::Launcher::LBoot>(factories.boot(thread));
    ASSERT_TRUE(boot);
    EXPECT_EQ(boot->workerThread(), thread);
    EXPECT_FALSE(boot->completionHandler());

    auto handOff = std::dynamic_pointer_cast<Worker::Hexora::GHandleOpenUrls>(
        factories.openUrls(thread, {"hexoramac://a", "hexoramac://b"}));
    ASSERT_TRUE(handOff);
    EXPECT_EQ(handOff->workerThread(), thread);
    EXPECT_EQ(handOff->urls, (std::vector<std::string>{"hexoramac://a", "hexoramac://b"}));
    EXPECT_FALSE(handOff->completionHandler());
}

// The product's wiring, which the driver's set-up runs: both domain lists
// from the configured endpoints and the production telemetry stream.
TEST(FirstWorkersTest, ProductSetupBuildsTheDomainListsAndNamesTheStream) {
    test::ScopedEnv apiUrls("HEXORA_API_URLS", "https://127.0.0.1:1,https://127.0.0.1:2");
    test::ScopedEnv fileUrls("HEXORA_FILE_URLS", "https://127.0.0.1:3");
    ApiDomains::resetForTesting();
    Rum::Api::setStreamName("");
    const auto factories = firstWorkers();
    ASSERT_TRUE(factories.productSetup);

    factories.productSetup();
    ASSERT_TRUE(ApiDomains::apiList());
    ASSERT_TRUE(ApiDomains::fileList());
    EXPECT_EQ(ApiDomains::apiList()->urlAt(1), "https://127.0.0.1:2");
    EXPECT_EQ(ApiDomains::fileList()->urlAt(0), "https://127.0.0.1:3");
    EXPECT_EQ(Rum::Api::streamName(), "hexora-rum-kinesis-prod");
    ApiDomains::resetForTesting();
    Rum::Api::setStreamName("");
}

// Where a road crosses from one product to the other, the table makes the
// other product's worker on the given thread.
TEST(FirstWorkersTest, RoadSuccessorsMakeTheOtherProductsWorkers) {
    auto manager = std::make_shared<UIUpdateManager>(std::make_shared<test::FakeLauncherView>(),
                                                     std::make_shared<test::FakeDisplayTimer>());
    auto thread = std::make_shared<Worker::WorkerThread>(manager);
    using Worker::Common::RoadSuccessors;
    const std::shared_ptr<Worker::WorkerBase> made[] = {RoadSuccessors::boot(thread), RoadSuccessors::gameCheck(thread),
                                                        RoadSuccessors::gameStart(thread)};
    EXPECT_TRUE(std::dynamic_pointer_cast<Worker::Launcher::LBoot>(made[0]));
    EXPECT_TRUE(std::dynamic_pointer_cast<Worker::Hexora::GCheckProcess>(made[1]));
    EXPECT_TRUE(std::dynamic_pointer_cast<Worker::Hexora::GStart>(made[2]));
    for (const auto& worker : made) {
        ASSERT_TRUE(worker);
        EXPECT_EQ(worker->workerThread(), thread);
        EXPECT_FALSE(worker->completionHandler());
    }
    EXPECT_FALSE(thread->workers().takeFirst()) << "made, not queued";
}

}  // namespace
}  // namespace hexora
