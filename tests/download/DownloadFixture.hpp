#pragma once
// Two local file servers as the two file domains, a loaded settings record,
// a worker thread with its display queue, an empty telemetry batch and a
// short clock: what every download test starts from.
#include "engine/LauncherError.hpp"
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/RunState.hpp"
#include "support/TempDir.hpp"
#include "support/TestClock.hpp"
#include "support/WorkerFailure.hpp"
#include "support/server/HttpsServer.hpp"
#include "workers/common/download/FileFetch.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace hexora::test {

class DownloadFixture : public RunStateFixture {
protected:
    DownloadFixture() {
        ApiDomains::createLists({"https://api.invalid"}, {primary.url(), fallback.url()});
        setLoadedSetting(std::make_shared<Setting>(Setting::atPath, temp / "storage" / ".launcher.json"));
    }

    std::int64_t cdnDsaIndex() const { return loadedSetting()->setting().cdn_dsa_index; }
    std::int64_t fileDomainIndex() const { return ApiDomains::fileList()->currentIndex(); }

    /// The pending records of `minorType` with `event` and `eventState`.
    static std::vector<Rum::LogData> records(const std::string& minorType, const std::string& event,
                                             const std::string& eventState) {
        std::vector<Rum::LogData> found;
        for (const auto& record : Rum::Api::pendingRecords()) {
            if (record.MinorType == minorType && record.Event == event && record.EventState == eventState)
                found.push_back(record);
        }
        return found;
    }

    ScopedTestClock clock;
    TempDir temp;
    HttpsServer primary;
    HttpsServer fallback;
    EngineHarness harness;
};

}  // namespace hexora::test
