// The sample game: its bundle, its copies, and what it does when started.
#include "platform/PreferenceStore.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "platform/InfoPlist.hpp"
#include "services/internal/Process.hpp"
#include "support/Eventually.hpp"
#include "support/SampleGame.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace hexora {
namespace {

// Starts the game in `storage` and hands back its exit once it has ended.
class GameRun {
public:
    GameRun(const std::filesystem::path& storage, std::vector<std::string> arguments) {
        auto state = state_;
        pid_ = Process::start((storage / "Hexora.app/Contents/MacOS/Hexora").string(), arguments, storage.string(),
                              [state](const platform::ProcessExit& exit) {
                                  std::lock_guard lock(state->mutex);
                                  state->exit = exit;
                                  state->ended.notify_all();
                              });
    }
    std::int32_t pid() const { return pid_; }
    std::optional<platform::ProcessExit> waitForExit() {
        std::unique_lock lock(state_->mutex);
        state_->ended.wait_for(lock, std::chrono::seconds(5), [&] { return state_->exit.has_value(); });
        return state_->exit;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable ended;
        std::optional<platform::ProcessExit> exit;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::int32_t pid_ = 0;
};

class SampleGameTest : public ::testing::Test {
protected:
    void SetUp() override { platform::PreferenceStore::install(nullptr); }

    test::TempDir dir_;
    test::ScopedEnv config_{"XDG_CONFIG_HOME", (dir_ / "config").string()};
    test::ScopedEnv report_{"HEXORA_SAMPLE_GAME_REPORT", (dir_ / "report.txt").string()};
    std::filesystem::path storage_ = dir_ / "Launcher.app/storage";
};

TEST_F(SampleGameTest, BuiltBundleAndItsCopiesCarryIdentifierAndVersion) {
    const auto built = test::sampleGameBundle();
    struct stat info{};
    ASSERT_EQ(::stat((built / "Contents/MacOS/Hexora").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);

    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> layOut;
        std::optional<std::string> version;  // nullopt: the built one
    };
    const auto script = (built.parent_path() / "lay-out-sample-game.sh").string();
    const Case cases[] = {
        {"built", [&](const std::filesystem::path&) {}, std::nullopt},
        {"helper", [](const std::filesystem::path& s) { test::layOutSampleGame(s); }, std::nullopt},
        {"helper with version", [](const std::filesystem::path& s) { test::layOutSampleGame(s, "2.3.4"); }, "2.3.4"},
        {"script", [&](const std::filesystem::path& s) { ASSERT_EQ(std::system(("'" + script + "' '" + s.string() + "' >/dev/null").c_str()), 0); }, std::nullopt},
        {"script with version", [&](const std::filesystem::path& s) { ASSERT_EQ(std::system(("'" + script + "' '" + s.string() + "' 3.0.1 >/dev/null").c_str()), 0); }, "3.0.1"},
    };
    const auto builtPlist = platform::InfoPlist::read(built / "Contents/Info.plist");
    ASSERT_TRUE(builtPlist.has_value());
    const auto builtVersion = builtPlist->text("CFBundleShortVersionString");
    ASSERT_TRUE(builtVersion.has_value());

    for (const auto& c : cases) {
        const auto storage = dir_ / c.name / "storage with blank";
        c.layOut(storage);
        const auto bundle = std::string(c.name) == "built" ? built : storage / "Hexora.app";
        const auto plist = platform::InfoPlist::read(bundle / "Contents/Info.plist");
        ASSERT_TRUE(plist.has_value()) << c.name;
        EXPECT_EQ(plist->text("CFBundleIdentifier"), "com.tarq.hexora.mac.game") << c.name;
        EXPECT_EQ(plist->text("CFBundleShortVersionString"), c.version.value_or(*builtVersion)) << c.name;
        EXPECT_EQ(plist->text("CFBundleVersion"), c.version.value_or(*builtVersion)) << c.name;
        EXPECT_TRUE(std::filesystem::exists(bundle / "Contents/MacOS/Hexora")) << c.name;
    }
}

TEST_F(SampleGameTest, RecordsItsIdBase64CodedAndReportsTheOpenedUrl) {
    test::layOutSampleGame(storage_);
    PlayerPrefsHelper::agent().setString("hexoramac_uri", "hexoramac://join/123");
    test::ScopedEnv lifetime("HEXORA_SAMPLE_GAME_SECONDS", "0");
    GameRun run(storage_, {"4711"});
    ASSERT_GT(run.pid(), 0);
    const auto exit = run.waitForExit();
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->status, 0);
    EXPECT_FALSE(exit->signalled);

    const auto pid = std::to_string(run.pid());
    const auto report = test::readFile(dir_ / "report.txt");
    EXPECT_NE(report.find("pid=" + pid + "\n"), std::string::npos) << report;
    EXPECT_NE(report.find("argc=1\narg=4711\n"), std::string::npos) << report;
    EXPECT_NE(report.find("cwd=" + std::filesystem::canonical(storage_).string() + "\n"), std::string::npos);
    EXPECT_NE(report.find("uri hexoramac_uri=hexoramac://join/123\n"), std::string::npos) << report;
    EXPECT_NE(report.find("quit=time\n"), std::string::npos) << report;

    EXPECT_EQ(PlayerPrefsHelper::agent().getString("CLIENT_PROC_ID"), pid);
    const auto suite = platform::PreferenceStore::current()->open("com.tarq.hexora.mac.game");
    ASSERT_NE(suite, nullptr);
    EXPECT_EQ(suite->stringForKey(PlayerPrefsHelper::base64Encode("CLIENT_PROC_ID")),
              PlayerPrefsHelper::base64Encode(pid));
}

TEST_F(SampleGameTest, StaysUpUntilToldToQuitOrForTheSetTime) {
    test::layOutSampleGame(storage_);
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        bool terminate;
        const char* quit;
    };
    const Case cases[] = {
        {"SIGTERM", {"1"}, true, "quit=signal 15\n"},
        {"argument", {"1", "--seconds=0.05"}, false, "quit=time\n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir_ / "report.txt");
        GameRun run(storage_, c.arguments);
        ASSERT_GT(run.pid(), 0);
        if (c.terminate) {
            // Wait until it is up and waiting, then tell it to quit.
            EXPECT_TRUE(test::eventually(
                [&] { return test::readFile(dir_ / "report.txt").find("ready\n") != std::string::npos; }))
                << c.name;
            ::kill(run.pid(), SIGTERM);
        }
        const auto exit = run.waitForExit();
        ASSERT_TRUE(exit.has_value()) << c.name;
        EXPECT_EQ(exit->status, 0) << c.name;
        EXPECT_FALSE(exit->signalled) << c.name;
        EXPECT_NE(test::readFile(dir_ / "report.txt").find(c.quit), std::string::npos) << c.name;
    }
}

}  // namespace
}  // namespace hexora
