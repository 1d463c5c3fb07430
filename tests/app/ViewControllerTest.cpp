#include "app/MainWindow.hpp"
#include "app/LoadReport.hpp"
#include "app/ViewController.hpp"
#include "engine/Launcher.hpp"
#include "engine/StateMessages.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/rum/RumApi.hpp"
#include "support/FakeApplication.hpp"
#include "support/FakeDeviceFacts.hpp"
#include "support/LogCapture.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/TestBundle.hpp"

#include <QImage>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hexora {
namespace {

using S = LauncherState;
using app::ViewController;

std::string infoPlist(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [key, value] : entries) text += "<key>" + key + "</key><string>" + value + "</string>\n";
    return text + "</dict>\n</plist>\n";
}

class ViewControllerTest : public test::RunStateFixture {
protected:
    ViewControllerTest() {
        auto& fake = *facts;
        fake.uuid = "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";
        fake.model = std::string("TestBook9,1\0", 12);
        fake.os = "Test OS 12 (kernel 6.1)";
        fake.screenList = {{0, 0, 1440, 900, 2}, {1440, 0, 1920, 1080, 1}};
        // The storage folder of a launcher that has started before: its free
        // space is measured there.
        std::filesystem::create_directories(bundle.bundle() / "storage");
        fake.freeBytes[bundle.bundle() / "storage"] = 1234ull << 20;
        fake.memory = platform::MemoryStatistics{2048ull << 20, 3ull << 30, 2ull << 30, 0, 1ull << 30};
    }
    ~ViewControllerTest() override {
        window.reset();
        if (auto thread = Launcher::shared().workerThread()) thread->workers().removeAll();
    }

    void writeInfoPlist(const std::vector<std::pair<std::string, std::string>>& entries) {
        std::ofstream(bundle.bundle() / "Contents" / "Info.plist") << infoPlist(entries);
    }
    void load() { window = std::make_unique<app::MainWindow>(); }
    ViewController& controller() { return window->viewController(); }
    UIUpdateManager& manager() { return *controller().uiUpdateManager(); }
    void apply(S state) {
        manager().queue().append(UIUpdateEvent::stateChange(state));
        manager().update();
    }
    std::vector<int> barsInView() {
        std::vector<int> shown;
        const auto bars = controller().progressBars();
        for (int index = 0; index < ViewController::BarCount; ++index)
            if (window->rect().intersects(bars[index]->geometry())) shown.push_back(index);
        return shown;
    }
    QColor messageColour() { return controller().outlets().textMessage->palette().color(QPalette::WindowText); }
    QString messageText() { return controller().outlets().textMessage->text(); }

    test::ScopedFakeApplication application;
    test::ScopedDeviceFacts facts;
    test::TestBundle bundle;
    test::LogCapture log;
    std::unique_ptr<app::MainWindow> window;
};

TEST_F(ViewControllerTest, LoadLeavesOnlyTheFirstBarInViewAndEmptyTexts) {
    load();
    EXPECT_LT(window->height(), ViewController::HiddenOffset);
    const auto bars = controller().progressBars();
    for (auto* bar : bars) ASSERT_TRUE(bar);
    EXPECT_LT(bars[0]->y(), ViewController::HiddenOffset);
    for (int index = 1; index < ViewController::BarCount; ++index)
        EXPECT_GE(bars[index]->y(), ViewController::HiddenOffset) << "progressBar" << index;
    EXPECT_EQ(barsInView(), std::vector<int>{0});
    EXPECT_EQ(controller().progressBar(), bars[1]);
    EXPECT_EQ(controller().progressBarIndex(), 0);
    EXPECT_TRUE(messageText().isEmpty());
    EXPECT_TRUE(controller().outlets().devLabel->isHidden());
    EXPECT_TRUE(controller().outlets().devLabel->text().isEmpty());
    EXPECT_TRUE(controller().outlets().backgroundImage);
}

TEST_F(ViewControllerTest, FirstInitializingHidesEveryBarAndShowsItsText) {
    load();
    apply(S::Initializing);
    EXPECT_TRUE(barsInView().empty());
    EXPECT_EQ(messageText(), "Initializing   ");
    EXPECT_EQ(messageColour(), QColor::fromRgbF(0.8984375f, 0.90234375f, 0.90625f, 1.0f));
    EXPECT_FALSE(controller().isCloseButtonEnabled());
}

TEST_F(ViewControllerTest, BarsComeInTurnAndAHideAdvancesTheTurn) {
    load();
    const auto bars = controller().progressBars();
    const QPoint origin = bars[1]->pos() - QPoint(0, ViewController::HiddenOffset);
    auto indexOf = [&](const QProgressBar* bar) {
        return static_cast<int>(std::find(bars.begin(), bars.end(), bar) - bars.begin());
    };
    std::vector<int> shownInTurn;
    for (int turn = 0; turn < 11; ++turn) {
        controller().switchProgressBar(true);
        auto* active = controller().progressBar();
        shownInTurn.push_back(indexOf(active));
        EXPECT_EQ(active->pos(), origin) << "turn " << turn;
    }
    EXPECT_EQ(shownInTurn, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1}));
    EXPECT_EQ(barsInView(), std::vector<int>{1}) << "each bar leaves the view when its turn is over";

    controller().setProgressValue(60);
    EXPECT_EQ(bars[1]->value(), 60);
    controller().switchProgressBar(false);
    EXPECT_TRUE(barsInView().empty());
    EXPECT_EQ(bars[1]->value(), 0) << "a bar that stops being active is reset";
    EXPECT_EQ(controller().progressBar(), bars[1]) << "a hide keeps the active bar";
    controller().switchProgressBar(true);
    EXPECT_EQ(barsInView(), std::vector<int>{3}) << "the hide used up bar 2's turn";
}

TEST_F(ViewControllerTest, ProgressEventsFillTheBarOfTheWorkingState) {
    load();
    manager().queue().append(UIUpdateEvent::stateChange(S::Initializing));
    manager().queue().append(UIUpdateEvent::stateChange(S::Downloading));
    manager().queue().append(UIUpdateEvent::progressValue(40));
    manager().queue().append(UIUpdateEvent::progressValue(60));
    manager().update();
    EXPECT_EQ(barsInView(), std::vector<int>{2});
    EXPECT_EQ(controller().progressBars()[2]->value(), 60);
    EXPECT_EQ(messageText(), "Downloading update file   ");
}

TEST_F(ViewControllerTest, MessageWithoutTextEmptiesTheLineAndKeepsTheColour) {
    load();
    const Color red = UIUpdateManager::redColor;
    controller().setMessage(std::string("Connection failed.\r\nPlease try again later."), red);
    EXPECT_EQ(messageText(), "Connection failed.\nPlease try again later.");
    const QColor shownRed = messageColour();
    EXPECT_EQ(shownRed, QColor::fromRgbF(0.984375f, 0.19140625f, 0.03515625f, 1.0f));

    controller().setMessage(std::nullopt, std::nullopt);
    EXPECT_TRUE(messageText().isEmpty());
    EXPECT_EQ(messageColour(), shownRed);
    controller().setMessage(std::string(), std::nullopt);
    EXPECT_TRUE(messageText().isEmpty());
    EXPECT_EQ(messageColour(), shownRed);
}

TEST_F(ViewControllerTest, FailureStatesEnableTheCloseButtonAndWorkingStatesDisableIt) {
    load();
    window->show();
    apply(S::Failed_Api);
    EXPECT_TRUE(controller().isCloseButtonEnabled());
    EXPECT_EQ(messageText(), "Connection failed.\nPlease try again later.");
    apply(S::CheckApp);
    EXPECT_FALSE(controller().isCloseButtonEnabled());
    EXPECT_TRUE(window->isVisible()) << "changing the close button keeps the window shown";
}

TEST_F(ViewControllerTest, HideWindowEventHidesTheWindow) {
    load();
    window->show();
    ASSERT_TRUE(window->isVisible());
    manager().queue().append(UIUpdateEvent::hideWindow());
    manager().update();
    EXPECT_FALSE(window->isVisible());
}

struct LoadRecordCase {
    const char* name;
    std::optional<std::vector<std::pair<std::string, std::string>>> plist;
    const char* appId;
    const char* appVersion;
};

class LoadRecordTest : public ViewControllerTest, public ::testing::WithParamInterface<LoadRecordCase> {};

TEST_P(LoadRecordTest, ReportsTheDeviceAndTheBundle) {
    if (GetParam().plist) writeInfoPlist(*GetParam().plist);
    load();
    auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 1u);
    const auto& record = records[0];
    EXPECT_TRUE(test::recordIs(record, "ViewController", "didLoad", "Start", "INFO"));
    ASSERT_TRUE(record.Data);
    std::vector<std::string> keys;
    for (const auto& [key, value] : record.Data->items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"OS", "Model", "Screens", "FreeSpace", "Ram", "AppId", "AppVer",
                                              "AppPath"}));
    EXPECT_EQ(record.dataValue("OS"), "Test OS 12 (kernel 6.1)");
    EXPECT_EQ(record.dataValue("Model"), "TestBook9,1");
    EXPECT_EQ(record.dataValue("Screens"),
              "[x:0.00,y:0.00,w:1440.00,h:900.00,s:2.00][x:1440.00,y:0.00,w:1920.00,h:1080.00,s:1.00]");
    EXPECT_EQ(record.dataValue("FreeSpace"), "1,234MB");
    // Free pages alone, then everything free or in use (2 + 3 + 2 + 1 GB).
    EXPECT_EQ(record.dataValue("Ram"), "2,048MB/8GB");
    EXPECT_EQ(record.dataValue("AppId"), GetParam().appId);
    EXPECT_EQ(record.dataValue("AppVer"), GetParam().appVersion);
    EXPECT_EQ(record.dataValue("AppPath"), "file://" + bundle.bundle().string() + "/");
    EXPECT_TRUE(log.contains("[0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0] [Test OS 12 (kernel 6.1)] [TestBook9,1] "
                             "[x:0.00,y:0.00,w:1440.00,h:900.00,s:2.00][x:1440.00,y:0.00,w:1920.00,h:1080.00,s:1.00] "
                             "1,234MB 2,048MB 8GB [" +
                             std::string(GetParam().appId) + " : " + GetParam().appVersion + " : file://" +
                             bundle.bundle().string() + "/]"));
}

INSTANTIATE_TEST_SUITE_P(
    InfoPlists, LoadRecordTest,
    ::testing::Values(
        LoadRecordCase{"Complete",
                       std::vector<std::pair<std::string, std::string>>{
                           {"CFBundleIdentifier", "com.tarq.hexora.mac.launcher"},
                           {"CFBundleShortVersionString", "1.2.3"}},
                       "com.tarq.hexora.mac.launcher", "1.2.3"},
        LoadRecordCase{"WithoutVersion",
                       std::vector<std::pair<std::string, std::string>>{
                           {"CFBundleIdentifier", "com.tarq.hexora.mac.launcher"}},
                       "com.tarq.hexora.mac.launcher", "-"},
        LoadRecordCase{"Missing", std::nullopt, "-", "-"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadReportTest, GroupsDigitsInThrees) {
    const std::vector<std::pair<std::int64_t, std::string>> cases{
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {-12345, "-12,345"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(app::LoadReport::grouped(value), text);
}

TEST_F(ViewControllerTest, AppearingQueuesInitializingStartsTheDisplayAndSetsUpTheDriver) {
    load();
    Rum::Api::takePendingRecords();
    window->show();
    EXPECT_TRUE(log.contains("Launcher View did appear."));
    EXPECT_TRUE(manager().isRunning());
    auto thread = Launcher::shared().workerThread();
    ASSERT_TRUE(thread);
    EXPECT_EQ(thread->uiUpdateManager(), controller().uiUpdateManager());
    EXPECT_FALSE(thread->isRun());
    manager().update();
    EXPECT_EQ(messageText(), "Initializing   ");

    // Shown again after a hide: no second set-up.
    window->hide();
    window->show();
    auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Event, "setup");
    EXPECT_EQ(records[0].EventState, "Start");
}

TEST_F(ViewControllerTest, ClosingTheWindowStopsTheDisplay) {
    load();
    window->show();
    ASSERT_TRUE(manager().isRunning());
    window->close();
    EXPECT_FALSE(manager().isRunning());
}

TEST_F(ViewControllerTest, RefusedCloseKeepsTheWindowAndTheDisplay) {
    int asked = 0;
    window = std::make_unique<app::MainWindow>([&] {
        ++asked;
        return false;
    });
    window->show();
    EXPECT_FALSE(window->close());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(manager().isRunning());
}

// The window as the desktop sees it: the bundle's icon, a fixed size without
// a maximise button, centred on the available area of its screen.
using MainWindowTest = ViewControllerTest;

TEST_F(MainWindowTest, CarriesTheBundleIconHasAFixedSizeAndOpensCentred) {
    const auto resources = bundle.bundle() / "Contents" / "Resources";
    std::filesystem::create_directories(resources);
    QImage icon(48, 48, QImage::Format_ARGB32);
    icon.fill(QColor(40, 90, 190));
    ASSERT_TRUE(icon.save(QString::fromStdString((resources / "icon.png").string())));

    load();
    window->show();
    ASSERT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(window->windowIcon().pixmap(48, 48).toImage().pixelColor(24, 24), QColor(40, 90, 190));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->size(), QSize(app::MainWindow::Width, app::MainWindow::Height));
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    ASSERT_TRUE(window->screen());
    // Within the window frame's few pixels.
    const QPoint offset = window->geometry().center() - window->screen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 8) << offset.x() << ", " << offset.y();
}

TEST_F(MainWindowTest, BundleWithoutIconGivesAWindowWithoutOne) {
    load();
    EXPECT_TRUE(window->windowIcon().isNull());
}

}  // namespace
}  // namespace hexora
