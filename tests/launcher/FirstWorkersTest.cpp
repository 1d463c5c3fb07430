#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerThread.hpp"
#include "support/FakeLauncherView.hpp"
#include "workers/FirstWorkers.hpp"
#include "workers/game/GHandleOpenUrls.hpp"
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

}  // namespace
}  // namespace hexora
