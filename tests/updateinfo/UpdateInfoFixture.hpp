#pragma once
// What the update-info tests start from: a launcher bundle with its storage
// folder, two local update API servers as the two API domains (index 0
// first), a file domain that no test reaches, a loaded settings record, the
// installed versions, a short clock and an empty telemetry batch.
#include "engine/LauncherError.hpp"
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/internal/InstalledVersions.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/RunState.hpp"
#include "support/TestBundle.hpp"
#include "support/TestClock.hpp"
#include "support/WorkerFailure.hpp"
#include "support/server/HttpsServer.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace hexora::test {

class UpdateInfoFixture : public RunStateFixture {
protected:
    UpdateInfoFixture() {
        std::filesystem::create_directories(storagePath());
        ApiDomains::createLists({api0.url(), api1.url()}, {"https://127.0.0.1:9"});
        setLoadedSetting(std::make_shared<Setting>(Setting::atPath, settingsPath()));
        setLauncherVersion("1.4.2");
        setGameVersion("2.0.1");
    }

    static std::filesystem::path settingsPath() { return storagePath() / ".launcher.json"; }

    /// The settings file as written, or nullopt when there is none.
    static std::optional<nlohmann::json> writtenSettings() {
        std::error_code error;
        if (!std::filesystem::is_regular_file(settingsPath(), error) || std::filesystem::file_size(settingsPath()) == 0)
            return std::nullopt;
        return nlohmann::json::parse(readFile(settingsPath()));
    }

    static ServerReply reply(const nlohmann::ordered_json& body) { return ServerReply::json(200, body); }

    ScopedTestClock clock;
    TestBundle bundle;
    HttpsServer api0;
    HttpsServer api1;
    EngineHarness harness;
};

}  // namespace hexora::test
