#include "engine/StateMessages.hpp"
#include "engine/UIUpdateManager.hpp"
#include "services/rum/RumApi.hpp"
#include "support/FakeApplication.hpp"
#include "support/FakeLauncherView.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hexora {
namespace {

using S = LauncherState;
using test::FakeDisplayTimer;
using test::FakeLauncherView;

class UIUpdateManagerTest : public test::RunStateFixture {
protected:
    void post(LauncherState state) { manager->queue().append(UIUpdateEvent::stateChange(state)); }
    void postProgress(double value) { manager->queue().append(UIUpdateEvent::progressValue(value)); }
    int pendingEvents() {
        std::vector<UIUpdateEvent> events;
        while (auto event = manager->queue().takeFirst()) events.push_back(*event);
        for (auto& event : events) manager->queue().append(event);
        return static_cast<int>(events.size());
    }

    test::ScopedFakeApplication application;
    std::shared_ptr<FakeLauncherView> view = std::make_shared<FakeLauncherView>();
    std::shared_ptr<FakeDisplayTimer> timer = std::make_shared<FakeDisplayTimer>();
    std::shared_ptr<UIUpdateManager> manager = std::make_shared<UIUpdateManager>(view, timer);
};

TEST_F(UIUpdateManagerTest, StartSchedulesOneTenMillisecondTimer) {
    manager->start();
    manager->start();
    EXPECT_EQ(timer->startCount, 1);
    EXPECT_EQ(timer->interval, 0.01);
    EXPECT_TRUE(manager->isRunning());
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
}

TEST_F(UIUpdateManagerTest, StartThatGetsNoTimerIsReported) {
    timer->failStart = true;
    manager->start();
    EXPECT_FALSE(manager->isRunning());
    auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(test::recordIs(records[0], "UIUpdateManager", "start", "Failed", "INFO"));
}

TEST_F(UIUpdateManagerTest, OnlyTheLastProgressOfABurstShowsOnTheNextBar) {
    manager->start();
    post(S::Initializing);  // as the window does first: hides bar 0 of the layout
    post(S::Downloading);
    postProgress(40);
    postProgress(60);
    timer->fire();
    EXPECT_EQ(view->shownBars(), std::vector<int>{2});  // hide, then show: two places on
    EXPECT_EQ(view->barValue(2), 60);
    EXPECT_EQ(view->message, "Downloading update file   ");
    EXPECT_EQ(view->color, UIUpdateManager::normalColor);
    EXPECT_EQ(view->closeButtonEnabled, false);
    EXPECT_EQ(view->messages.size(), 2u);  // one text per state change, none per progress

    post(S::DecompressFiles);  // the next working step moves to the next bar
    postProgress(5);
    timer->fire();
    EXPECT_EQ(view->shownBars(), std::vector<int>{3});
    EXPECT_EQ(view->barValue(2), 0);
    EXPECT_EQ(view->barValue(3), 5);
}

TEST_F(UIUpdateManagerTest, HideWindowEndsTheTickAndLeavesTheRestForTheNext) {
    manager->start();
    manager->queue().append(UIUpdateEvent::hideWindow());
    post(S::Failed_Download);
    timer->fire();
    EXPECT_FALSE(view->windowVisible);
    EXPECT_EQ(manager->currentState(), S::Initializing);
    EXPECT_TRUE(view->messages.empty());
    EXPECT_EQ(pendingEvents(), 1);
    timer->fire();
    EXPECT_EQ(manager->currentState(), S::Failed_Download);
}

TEST_F(UIUpdateManagerTest, UnknownEventTypesAndEmptyEventsAreDropped) {
    manager->start();
    manager->queue().append(UIUpdateEvent(7, S::Failed_Api, 50.0));
    manager->queue().append(UIUpdateEvent(UIUpdateEvent::StateChange, std::nullopt, std::nullopt));
    manager->queue().append(UIUpdateEvent(UIUpdateEvent::ProgressValue, std::nullopt, std::nullopt));
    timer->fire();
    EXPECT_EQ(manager->currentState(), S::Initializing);
    EXPECT_TRUE(view->messages.empty());
    EXPECT_EQ(pendingEvents(), 0);
    EXPECT_TRUE(manager->isRunning());
}

// What applying each state draws: bars (hidden / next / untouched), colour,
// close button, and whether tickCount is reset.
struct ApplyCase {
    LauncherState state;
    std::optional<bool> barsShown;  // nullopt: no switch
    std::optional<Color> color;     // nullopt: colour untouched
    std::optional<bool> closeEnabled;
    bool resetsTicks;
};

TEST_F(UIUpdateManagerTest, ApplyingAStateDrawsWhatItsGroupShows) {
    const auto red = UIUpdateManager::redColor;
    const auto normal = UIUpdateManager::normalColor;
    ASSERT_EQ(red, (Color{252 / 256.0, 49 / 256.0, 9 / 256.0, 1.0}));
    ASSERT_EQ(normal, (Color{230 / 256.0, 231 / 256.0, 232 / 256.0, 1.0}));
    const std::vector<ApplyCase> cases = {
        {S::Initializing, false, normal, false, true},
        {S::CheckApp, false, normal, false, true},
        {S::ApiRequest, false, normal, false, true},
        {S::PatchCompleted, false, normal, false, true},
        {S::Downloading, true, normal, false, true},
        {S::DecompressFiles, true, normal, false, true},
        {S::ValidateFiles, true, normal, false, true},
        {S::Failed_Api_Unavailable_Version, false, red, true, true},
        {S::Failed_Api, false, red, true, true},
        {S::Failed_Download, false, red, true, true},
        {S::Failed_DecompressFiles, false, red, true, true},
        {S::Failed_LoadScheme, false, red, true, true},
        {S::Failed_ReplaceFile, false, red, true, true},
        {S::Failed_Validation, false, red, true, true},
        {S::Failed_Launching_Game, false, red, true, true},
        {S::CaughException, false, red, true, true},
        {S::Found_Launcher, false, normal, true, true},
        {S::Found_App, false, normal, true, true},
        {S::UnderMaintenance, false, normal, true, true},
        {S::ReservedAppTerminating, false, normal, false, false},
        {S::AppTerminating, false, normal, false, false},
        {S::ProcessCompleted, false, std::nullopt, std::nullopt, true},
        {S::LaunchApp, std::nullopt, std::nullopt, std::nullopt, false},
        {S::MinimizeApp, std::nullopt, std::nullopt, std::nullopt, false},
        {S::Failed, std::nullopt, std::nullopt, std::nullopt, false},
        {S::ProcessFound, std::nullopt, std::nullopt, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(rawValue(c.state));
        StateMessages::reset();
        auto freshView = std::make_shared<FakeLauncherView>();
        UIUpdateManager fresh(freshView, std::make_shared<FakeDisplayTimer>());
        fresh.start();
        fresh.applyState(S::Initializing);  // something to keep or clear
        fresh.update();                     // tickCount 1
        freshView->switches.clear();
        freshView->color.reset();
        freshView->closeButtonEnabled.reset();
        const auto messagesBefore = freshView->messages.size();

        fresh.applyState(c.state);

        EXPECT_EQ(fresh.currentState(), c.state);
        if (c.barsShown)
            EXPECT_EQ(freshView->switches, std::vector<bool>{*c.barsShown});
        else
            EXPECT_TRUE(freshView->switches.empty());
        EXPECT_EQ(freshView->color, c.color);
        EXPECT_EQ(freshView->closeButtonEnabled, c.closeEnabled);
        EXPECT_EQ(fresh.tickCount(), c.resetsTicks ? 0 : 1);
        const bool drawsText = c.barsShown.has_value();
        EXPECT_EQ(freshView->messages.size(), messagesBefore + (drawsText ? 1 : 0));
    }
}

TEST_F(UIUpdateManagerTest, FailureStopsTheTimerInTheSameTickAndLaterEventsNeverShow) {
    manager->start();
    post(S::Failed_Download);
    timer->fire();
    EXPECT_EQ(view->message, "Failed to download.\r\nPlease try again later.");
    EXPECT_EQ(view->color, UIUpdateManager::redColor);
    EXPECT_EQ(view->closeButtonEnabled, true);
    EXPECT_TRUE(view->shownBars().empty());
    EXPECT_FALSE(manager->isRunning());
    EXPECT_FALSE(timer->running());

    post(S::Downloading);
    EXPECT_FALSE(timer->fire());
    EXPECT_EQ(view->message, "Failed to download.\r\nPlease try again later.");
}

TEST_F(UIUpdateManagerTest, FinalStatesStopAndOtherStatesKeepTheTimer) {
    const std::vector<S> finals = {S::Failed_Api_Unavailable_Version, S::Failed_Api, S::Failed_Download,
                                   S::Failed_DecompressFiles, S::Failed_LoadScheme, S::Failed_ReplaceFile,
                                   S::Failed_Validation, S::Failed_Launching_Game, S::Found_Launcher,
                                   S::Found_App, S::CaughException, S::ReservedAppTerminating};
    const std::vector<S> lasting = {S::Initializing, S::CheckApp, S::ApiRequest, S::Downloading,
                                    S::DecompressFiles, S::ValidateFiles, S::AppTerminating, S::PatchCompleted,
                                    S::LaunchApp, S::MinimizeApp, S::Failed, S::ProcessFound,
                                    S::UnderMaintenance};
    for (S state : finals) {
        UIUpdateManager fresh(std::make_shared<FakeLauncherView>(), timer);
        fresh.start();
        fresh.queue().append(UIUpdateEvent::stateChange(state));
        timer->fire();
        EXPECT_FALSE(timer->running()) << rawValue(state);
    }
    for (S state : lasting) {
        UIUpdateManager fresh(std::make_shared<FakeLauncherView>(), timer);
        fresh.start();
        fresh.queue().append(UIUpdateEvent::stateChange(state));
        EXPECT_EQ(timer->fire(10), 10) << rawValue(state);
        EXPECT_TRUE(fresh.isRunning()) << rawValue(state);
    }
    EXPECT_EQ(application->terminateCount(), 0);
}

TEST_F(UIUpdateManagerTest, WorkingTextAnimatesEveryFifthTickKeepingTheColour) {
    manager->start();
    post(S::ApiRequest);
    timer->fire();
    ASSERT_EQ(view->message, "Check for updates   ");
    view->color = Color{0, 0, 0, 1};  // the animation must not repaint the colour
    std::vector<std::string> shown;
    for (int tick = 0; tick < 20; ++tick) {
        timer->fire();
        shown.push_back(view->message);
    }
    const std::string m = "Check for updates";
    // Tick 1 applied the state and counted 1: ticks 2-4 keep the text, tick 5 changes it.
    EXPECT_EQ(shown[2], m + "   ");
    EXPECT_EQ(shown[3], m + ".  ");
    EXPECT_EQ(shown[7], m + ".  ");
    EXPECT_EQ(shown[8], m + ".. ");
    EXPECT_EQ(shown[13], m + "...");
    EXPECT_EQ(shown[18], m + "   ");
    EXPECT_EQ(view->color, (Color{0, 0, 0, 1}));
}

TEST_F(UIUpdateManagerTest, UnderMaintenanceKeepsTextAndTimer) {
    StateMessages::underMaintenance()->setAdditionalMessage("03/01 10:00 ~ 03/01 12:00");
    manager->start();
    post(S::UnderMaintenance);
    timer->fire(20);
    EXPECT_EQ(view->message, "Now in maintenance, Please try again later.\r\n03/01 10:00 ~ 03/01 12:00");
    EXPECT_EQ(view->messages.size(), 1u);
    EXPECT_EQ(view->color, UIUpdateManager::normalColor);
    EXPECT_EQ(view->closeButtonEnabled, true);
    EXPECT_TRUE(manager->isRunning());
}

TEST_F(UIUpdateManagerTest, ProcessCompletedClearsTextAndTerminatesOnTheNextTick) {
    manager->start();
    post(S::Downloading);
    timer->fire();
    post(S::ProcessCompleted);
    timer->fire();
    EXPECT_EQ(view->message, "");
    EXPECT_EQ(view->color, UIUpdateManager::normalColor);  // unchanged
    EXPECT_EQ(application->terminateCount(), 0);
    EXPECT_TRUE(manager->isRunning());
    timer->fire();
    EXPECT_EQ(application->terminateCount(), 1);
    EXPECT_FALSE(manager->isRunning());
    EXPECT_FALSE(timer->fire());
    EXPECT_EQ(application->terminateCount(), 1);
}

TEST_F(UIUpdateManagerTest, StopDropsPendingEventsAndStartRunsAgain) {
    manager->start();
    post(S::Failed_Api);
    postProgress(10);
    manager->stop();
    EXPECT_EQ(pendingEvents(), 0);
    EXPECT_EQ(manager->tickCount(), 0);
    EXPECT_FALSE(timer->running());
    manager->start();
    EXPECT_EQ(timer->startCount, 2);
    post(S::CheckApp);
    timer->fire();
    EXPECT_EQ(view->message, "Check Status   ");
}

TEST_F(UIUpdateManagerTest, DestroyingTheManagerStopsItsTimer) {
    manager->start();
    manager.reset();
    EXPECT_FALSE(timer->running());
}

TEST_F(UIUpdateManagerTest, WorksWithoutAView) {
    UIUpdateManager headless(nullptr, timer);
    headless.start();
    headless.queue().append(UIUpdateEvent::stateChange(S::Downloading));
    headless.queue().append(UIUpdateEvent::progressValue(50));
    headless.queue().append(UIUpdateEvent::hideWindow());
    timer->fire(3);
    EXPECT_EQ(headless.currentState(), S::Downloading);
}

}  // namespace
}  // namespace hexora
