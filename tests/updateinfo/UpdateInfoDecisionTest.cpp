// The road LP22 and GP22 choose from one reply, and what their repair road's
// result check queues.
#include "services/internal/SHA1.hpp"
#include "support/PendingRecords.hpp"
#include "updateinfo/UpdateInfoFixture.hpp"
#include "workers/common/validate/CCheckValidationResult.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/common/unpack/CGunzip.hpp"
#include "workers/common/download/CLoadSchemes.hpp"
#include "workers/common/validate/CValidation.hpp"
#include "workers/game/GCheckProcess.hpp"
#include "workers/game/GP22.hpp"
#include "workers/game/GPatch.hpp"
#include "workers/game/GStart.hpp"
#include "workers/launcher/LP22.hpp"
#include "workers/launcher/LPatch.hpp"
#include "workers/launcher/SelfRestart.hpp"

#include <fstream>

namespace hexora {
namespace {

using ApiConf::UpdateInfo::Response;
using namespace Worker::Common;
using Worker::Hexora::GCheckProcess;
using Worker::Hexora::GP22;
using Worker::Hexora::GPatch;
using Worker::Hexora::GStart;
using Worker::Launcher::LP22;
using Worker::Launcher::LPatch;
namespace fs = std::filesystem;

class UpdateInfoDecisionTest : public test::UpdateInfoFixture {
protected:
    /// Every later post gets `body` (a handler replaces the earlier answers).
    void answer(const nlohmann::ordered_json& body) {
        api0.on("POST", "/conf", [body](const test::RecordedRequest&) { return test::ServerReply::json(200, body); });
    }
};

// What the update worker was asked for, whichever of the two it is.
struct UpdateAsked {
    std::string hash;
    std::string version;
    bool full = false;
    bool operator==(const UpdateAsked&) const = default;
};

std::optional<UpdateAsked> updateAsked(const std::shared_ptr<Worker::WorkerBase>& worker) {
    if (auto l = std::dynamic_pointer_cast<LPatch>(worker)) return UpdateAsked{l->updateHash, l->updateVersion, l->isFullPatch};
    if (auto g = std::dynamic_pointer_cast<GPatch>(worker)) return UpdateAsked{g->updateHash, g->updateVersion, g->isFullPatch};
    return std::nullopt;
}

// New versions by plain text inequality, the smart/full choice by "_" in
// `file`, for the game (installed 2.0.1).
TEST_F(UpdateInfoDecisionTest, NewVersionQueuesTheUpdateWorker) {
    struct Case {
        nlohmann::ordered_json reply;
        UpdateAsked expected;
    };
    const Case cases[] = {
        {{{"result", 0}, {"version", "2.0.2"}, {"hash", "H"}, {"file", "2.0.2_2.0.1"}}, {"H", "2.0.2_2.0.1", false}},
        {{{"result", 0}, {"version", "2.0.2"}, {"hash", "H"}, {"file", "2.0.2"}}, {"H", "2.0.2", true}},
        {{{"result", 0}, {"version", "2.0.2"}, {"hash", "H"}, {"file", ""}}, {"H", "2.0.2", true}},
        {{{"result", 0}, {"version", "2.0.0"}, {"hash", "H"}}, {"H", "2.0.0", true}},
        {{{"result", 0}, {"version", "2.0.1.0"}, {"hash", "H"}}, {"H", "2.0.1.0", true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.dump());
        answer(c.reply);
        fs::create_directories(tempPath() / "leftover");

        GP22 worker(harness.thread);
        worker.work();

        const auto queued = harness.takeQueued();
        ASSERT_EQ(queued.size(), 1u);
        EXPECT_TRUE(std::dynamic_pointer_cast<GPatch>(queued[0]));
        EXPECT_EQ(updateAsked(queued[0]), c.expected);
        EXPECT_TRUE(fs::is_directory(tempPath()));
        EXPECT_TRUE(fs::is_empty(tempPath())) << "temp is emptied once an answer came";
        EXPECT_TRUE(writtenSettings());
    }
}

TEST_F(UpdateInfoDecisionTest, SameVersionWithHashQueuesTheRepairRoad) {
    struct Case {
        bool launcher;
        const char* archive;
        const char* scheme;
        fs::path validated;
        const char* brokenList;
    };
    const Case cases[] = {
        {true, "launcherScheme.json.gz", "launcherScheme.json", bundleRootPath(), "launcherRetry.json"},
        {false, "gameScheme.json.gz", "gameScheme.json", storagePath() / "Hexora.app", "gameRetry.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scheme);
        // No version at all also takes the repair road when a hash is given.
        answer({{"result", 0}, {"hash", "ABC"}});
        if (c.launcher) LP22(harness.thread).work();
        else GP22(harness.thread).work();

        const auto queued = harness.takeQueued();
        ASSERT_EQ(queued.size(), 4u);
        const auto load = std::dynamic_pointer_cast<CLoadSchemes>(queued[0]);
        ASSERT_TRUE(load);
        EXPECT_EQ(load->hashKey, "ABC");
        EXPECT_EQ(load->sourceName, "scheme.json.gz");
        EXPECT_EQ(load->destFileName, c.archive);
        const auto gunzip = std::dynamic_pointer_cast<CGunzip>(queued[1]);
        ASSERT_TRUE(gunzip);
        EXPECT_EQ(gunzip->sourcePaths, std::vector<std::string>{(storagePath() / c.archive).string()});
        EXPECT_EQ(gunzip->targetPaths, std::vector<std::string>{(storagePath() / c.scheme).string()});
        const auto validation = std::dynamic_pointer_cast<CValidation>(queued[2]);
        ASSERT_TRUE(validation);
        EXPECT_EQ(validation->schemePath, (storagePath() / c.scheme).string());
        EXPECT_EQ(validation->targetPath, c.validated);
        EXPECT_EQ(validation->brokenListPath, storagePath() / c.brokenList);
        EXPECT_FALSE(validation->skipMissingFiles);
        const auto check = std::dynamic_pointer_cast<CCheckValidationResult>(queued[3]);
        ASSERT_TRUE(check);
        EXPECT_EQ(check->brokenListPath, storagePath() / c.brokenList);
        ASSERT_TRUE(check->completionHandler());

        // The handed callback is the worker's onValidationResult: a pass
        // queues the clean-up, then that side's next workers.
        check->completionHandler()(true);
        const auto next = harness.takeQueued();
        ASSERT_EQ(next.size(), c.launcher ? 2u : 3u);
        EXPECT_TRUE(std::dynamic_pointer_cast<CCleanUp>(next[0]));
        if (c.launcher) {
            EXPECT_TRUE(std::dynamic_pointer_cast<GCheckProcess>(next[1]));
        } else {
            EXPECT_TRUE(std::dynamic_pointer_cast<CCleanUp>(next[1]));
            EXPECT_TRUE(std::dynamic_pointer_cast<GStart>(next[2]));
        }
    }
}

// Neither a usable version nor a hash, and a new version without a hash
// (its package cannot be named): the road ends with
// Failed_Api_Unavailable_Version after the settings were written.
TEST_F(UpdateInfoDecisionTest, NoVersionOrHashEndsWithUnavailableVersion) {
    const nlohmann::ordered_json replies[] = {
        {{"result", 0}},
        {{"result", 0}, {"version", ""}, {"hash", ""}},
        {{"result", 0}, {"version", "1.4.2"}},
        {{"result", 0}, {"version", "1.5.0"}},
        {{"result", 0}, {"version", "1.5.0"}, {"hash", ""}, {"file", "1.5.0_1.4.2"}},
    };
    for (const auto& body : replies) {
        SCOPED_TRACE(body.dump());
        answer(body);
        fs::remove(settingsPath());

        LP22 worker(harness.thread);
        const auto error = test::expectLauncherError([&] { worker.work(); });

        EXPECT_EQ(error.code, Worker::LauncherError::Code::Failed);
        EXPECT_EQ(error.type, "LP22.work");
        EXPECT_EQ(error.message, "unavailable version 1.4.2 from P22: no version or hash");
        EXPECT_EQ(error.state, LauncherState::Failed_Api_Unavailable_Version);
        EXPECT_EQ(error.terminateWhenAvailable, false);
        ASSERT_TRUE(error.rum);
        EXPECT_TRUE(test::recordIs(*error.rum, "LP22.work", "unavailable version 1.4.2", "Failed", "ERROR"));
        EXPECT_TRUE(harness.takeQueued().empty());
        EXPECT_TRUE(writtenSettings());
    }
}

TEST_F(UpdateInfoDecisionTest, PassedRepairQueuesTheCleanUpAndWhatFollows) {
    Response reply;
    reply.version = "2.0.1";
    reply.hash = "H";
    const std::vector<fs::path> gameCleanUp = {tempPath(), storagePath() / "gameScheme.json.gz",
                                               storagePath() / "gameRetry.json"};
    const std::vector<fs::path> launcherCleanUp = {tempPath(), storagePath() / "launcherScheme.json.gz",
                                                   storagePath() / "launcherRetry.json"};

    LP22::onValidationResult(harness.thread, tempPath(), "1.4.2", reply, true);
    auto queued = harness.takeQueued();
    ASSERT_EQ(queued.size(), 2u);
    ASSERT_TRUE(std::dynamic_pointer_cast<CCleanUp>(queued[0]));
    EXPECT_EQ(std::dynamic_pointer_cast<CCleanUp>(queued[0])->paths, launcherCleanUp);
    EXPECT_TRUE(std::dynamic_pointer_cast<GCheckProcess>(queued[1]));

    GP22::onValidationResult(harness.thread, tempPath(), "2.0.1", reply, true);
    queued = harness.takeQueued();
    ASSERT_EQ(queued.size(), 3u);
    for (int i : {0, 1}) {
        ASSERT_TRUE(std::dynamic_pointer_cast<CCleanUp>(queued[i]));
        EXPECT_EQ(std::dynamic_pointer_cast<CCleanUp>(queued[i])->paths, gameCleanUp);
    }
    EXPECT_TRUE(std::dynamic_pointer_cast<GStart>(queued[2]));
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
}

TEST_F(UpdateInfoDecisionTest, FailedRepairQueuesAFullPatchToTheRepliedVersion) {
    Response reply;
    reply.version = "2.0.1";
    reply.hash = "H";
    reply.file = "2.0.1_2.0.0";

    GP22::onValidationResult(harness.thread, tempPath(), "2.0.1", reply, false);

    const auto queued = harness.takeQueued();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<CCleanUp>(queued[0]));
    EXPECT_TRUE(std::dynamic_pointer_cast<GPatch>(queued[1]));
    EXPECT_EQ(updateAsked(queued[1]), (UpdateAsked{"H", "2.0.1", true}));
    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(test::recordIs(records[0], "CCheckValidationResult", "Installed Game", "Failed", "INFO"));
}

// The launcher that a self-update has just put in place (started with the
// old launcher's id) does not update once more when its repair fails: a
// broken scheme on the server would otherwise make it update and restart
// without end. The game, and a launcher the user started, update as before.
TEST_F(UpdateInfoDecisionTest, FailedLauncherRepairAfterASelfRestartEndsWithTheValidationFailure) {
    namespace SelfRestart = Worker::Launcher::SelfRestart;
    Response reply;
    reply.version = "1.4.2";
    reply.hash = "H";
    struct Case {
        const char* name;
        bool launcher;
        std::optional<std::int32_t> previousLauncher;
        bool updates;
    };
    const Case cases[] = {
        {"launcher started by the user", true, std::nullopt, true},
        {"launcher after a self-restart", true, 4242, false},
        {"game after a self-restart", false, 4242, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SelfRestart::setPreviousLauncher(c.previousLauncher);
        const auto error = test::failureOf([&] {
            if (c.launcher) {
                LP22::onValidationResult(harness.thread, tempPath(), "1.4.2", reply, false);
            } else {
                GP22::onValidationResult(harness.thread, tempPath(), "1.4.2", reply, false);
            }
        });
        SelfRestart::setPreviousLauncher(std::nullopt);
        const auto records = Rum::Api::takePendingRecords();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].Event, c.launcher ? "Installed Launcher" : "Installed Game");
        bool updateQueued = false;
        for (const auto& worker : harness.takeQueued()) updateQueued = updateQueued || updateAsked(worker).has_value();
        EXPECT_EQ(updateQueued, c.updates);
        if (c.updates) {
            EXPECT_FALSE(error);
            continue;
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, Worker::LauncherError::Code::Failed);
        EXPECT_EQ(error->type, "LP22.work");
        EXPECT_EQ(error->state, LauncherState::Failed_Validation);
        EXPECT_EQ(error->terminateWhenAvailable, false);
        EXPECT_FALSE(error->rum);
    }
}

// A launcher package that carries another version than the one announced:
// after its self-update the new launcher is told once more that it is
// outdated. It updates at most once per start by the user: the launcher
// started by its self-restart goes on with the game's check instead, and
// says so; one the user started updates as before.
TEST_F(UpdateInfoDecisionTest, LauncherOfferedANewVersionAgainAfterItsSelfRestartGoesOnToTheGame) {
    namespace SelfRestart = Worker::Launcher::SelfRestart;
    const std::string installed = launcherVersion();
    struct Case {
        const char* name;
        nlohmann::ordered_json reply;
        std::optional<std::int32_t> previousLauncher;
        bool updates;
    };
    const Case cases[] = {
        {"started by the user", {{"result", 1}, {"version", "9.9.9"}, {"hash", "H"}}, std::nullopt, true},
        {"after a self-restart", {{"result", 1}, {"version", "9.9.9"}, {"hash", "H"}}, 4242, false},
        {"after a self-restart, smart package", {{"result", 1}, {"version", "9.9.9"}, {"hash", "H"}, {"file", "9.9.9_1"}},
         4242, false},
        // The reply could not even name a package: still no failure, the user gets in.
        {"after a self-restart, no hash", {{"result", 1}, {"version", "9.9.9"}}, 4242, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        answer(c.reply);
        SelfRestart::setPreviousLauncher(c.previousLauncher);
        const auto error = test::failureOf([&] { LP22(harness.thread).work(); });
        SelfRestart::setPreviousLauncher(std::nullopt);
        EXPECT_FALSE(error);

        const auto queued = harness.takeQueued();
        ASSERT_EQ(queued.size(), 1u);
        const auto records = Rum::Api::takePendingRecords();
        if (c.updates) {
            EXPECT_TRUE(std::dynamic_pointer_cast<LPatch>(queued[0]));
            for (const auto& record : records) EXPECT_NE(record.Event, "new version again after an update");
            continue;
        }
        EXPECT_TRUE(std::dynamic_pointer_cast<GCheckProcess>(queued[0])) << "the game's road, as after a passed check";
        ASSERT_EQ(records.size(), 1u);
        EXPECT_TRUE(test::recordIs(records[0], "LP22.work", "new version again after an update", "Exception", "WARNING"));
        EXPECT_EQ(records[0].dataValue("AnnouncedVersion"), "9.9.9");
        EXPECT_EQ(records[0].dataValue("InstalledVersion"), installed);
    }
}

// A failed repair whose reply named no version cannot name a full package.
TEST_F(UpdateInfoDecisionTest, FailedRepairWithoutVersionEndsWithUnavailableVersion) {
    Response reply;
    reply.hash = "H";

    const auto error =
        test::expectLauncherError([&] { LP22::onValidationResult(harness.thread, tempPath(), "1.4.2", reply, false); });

    EXPECT_EQ(error.state, LauncherState::Failed_Api_Unavailable_Version);
    EXPECT_EQ(error.message, "unavailable version 1.4.2 from P22: no version or hash");
    ASSERT_EQ(Rum::Api::takePendingRecords().size(), 1u);  // "Installed Launcher"
    for (const auto& worker : harness.takeQueued()) EXPECT_FALSE(updateAsked(worker));
}

}  // namespace
}  // namespace hexora
