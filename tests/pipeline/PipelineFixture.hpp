#pragma once
// What the update road tests start from: an installed launcher bundle (with
// its storage folder and application-support folder), bundles of several
// versions to make packages from with the package builder, a local update
// API and a local file server serving those packages, fake process layers,
// a short clock, and a driver that runs the queued workers one by one as the
// worker thread does, so that a test can stop in front of a worker it only
// expects to be queued.
#include "engine/LauncherError.hpp"
#include "engine/WorkerBase.hpp"
#include "package/PackageBuilder.hpp"
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/internal/GameProduct.hpp"
#include "services/internal/InstalledVersions.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/Eventually.hpp"
#include "support/FakeProcessLauncher.hpp"
#include "support/FakeProcessTable.hpp"
#include "support/InfoPlistText.hpp"
#include "support/RunState.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TestBundle.hpp"
#include "support/TestClock.hpp"
#include "support/TreeSnapshot.hpp"
#include "support/server/HttpsServer.hpp"

#include <gtest/gtest.h>

#include <cxxabi.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

namespace hexora::test {

namespace fs = std::filesystem;

/// The class name of a worker without its namespaces ("CDownload").
inline std::string workerName(const Worker::WorkerBase& worker) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(worker).name(), nullptr, nullptr, &status);
    std::string name = demangled ? demangled : typeid(worker).name();
    std::free(demangled);
    const auto colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

/// Every file and link below `root`/Contents with its content (a link with
/// its target) and mode, by path from `root` ("Contents/...").
inline TreeSnapshot treeOf(const fs::path& root) {
    TreeSnapshot tree;
    for (const auto& [name, item] : withoutFolders(snapshotTree(root / "Contents")))
        tree.emplace((fs::path("Contents") / name).generic_string(), item);
    return tree;
}

class PipelineFixture : public RunStateFixture {
protected:
    static constexpr std::int32_t OwnPid = 1000;

    struct Road {
        std::vector<std::shared_ptr<Worker::WorkerBase>> ran;
        std::optional<Worker::LauncherError> error;
        /// The worker the drive stopped in front of (still queued behind nothing).
        std::shared_ptr<Worker::WorkerBase> next;

        std::vector<std::string> names() const {
            std::vector<std::string> result;
            for (const auto& worker : ran) result.push_back(workerName(*worker));
            return result;
        }
        template <class T>
        std::shared_ptr<T> first() const {
            for (const auto& worker : ran)
                if (auto typed = std::dynamic_pointer_cast<T>(worker)) return typed;
            return nullptr;
        }
    };

    PipelineFixture() {
        collector.on("PUT", "/", ServerReply::json(200, nlohmann::json::object()));
        fs::create_directories(storagePath());
        ApiDomains::createLists({api.url()}, {files.url()});
        files.serveFolder("/", serverRoot());
        setLoadedSetting(std::make_shared<Setting>(".launcher.json"));
    }

    /// True once a record of `minorType`/`event`/`eventState` is pending or
    /// was uploaded to the local collector (uploads run on their own threads).
    bool recorded(const std::string& minorType, const std::string& event, const std::string& eventState) const {
        const auto matches = [&](const std::string& m, const std::string& e, const std::string& s) {
            return m == minorType && e == event && s == eventState;
        };
        return test::eventually([&] {
            for (const auto& record : Rum::Api::pendingRecords())
                if (matches(record.MinorType, record.Event, record.EventState)) return true;
            for (const auto& put : collector.requests()) {
                const auto batch = nlohmann::json::parse(put.body);
                for (const auto& record : batch["Data"])
                    if (matches(record["MinorType"], record["Event"], record["EventState"])) return true;
            }
            return false;
        });
    }

    fs::path serverRoot() const { return sources.path() / "server"; }

    static void write(const fs::path& path, const std::string& content, mode_t mode = 0644) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        ::chmod(path.c_str(), mode);
    }

    /// A bundle of `product` ("launcher" or "game") at `version`: an
    /// executable, an Info.plist, a file every version shares, a file of this
    /// version only and a link.
    fs::path sourceBundle(const std::string& product, const std::string& version) const {
        const fs::path app = sources.path() / (product + "-" + version) / "Hexora.app";
        if (fs::exists(app)) return app;
        write(app / "Contents/MacOS/Hexora", "#!/bin/sh\n# " + product + " " + version + "\n", 0755);
        const char* identifier =
            product == "launcher" ? LauncherProduct::BundleIdentifier : GameProduct::BundleIdentifier;
        write(app / "Contents/Info.plist", test::bundleInfoPlist(identifier, version));
        write(app / "Contents/Resources/shared.dat", "the same in every version");
        write(app / ("Contents/Resources/only-" + version + ".txt"), "new in " + version);
        fs::create_directories(app / "Contents/Frameworks/Lib.framework/Versions/A");
        write(app / "Contents/Frameworks/Lib.framework/Versions/A/Lib", "library of " + product, 0755);
        fs::create_directory_symlink("Versions/A", app / "Contents/Frameworks/Lib.framework/Current");
        return app;
    }

    /// Copies the bundle's Contents to `destination`/Contents.
    static void install(const fs::path& source, const fs::path& destination) {
        fs::remove_all(destination / "Contents");
        fs::create_directories(destination);
        fs::copy(source / "Contents", destination / "Contents",
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }

    /// Publishes a package on the file server.
    tools::Package publish(const fs::path& bundle, const std::string& version, const std::string& hash,
                           const std::string& name = "", std::optional<fs::path> smartBase = std::nullopt) const {
        tools::PackageOptions options;
        options.bundle = bundle;
        options.version = version;
        options.hash = hash;
        options.out = serverRoot();
        options.name = name;
        options.smartBase = std::move(smartBase);
        return tools::buildPackage(options);
    }

    /// Every post of the update-info request gets `body`.
    void answer(const nlohmann::ordered_json& body) {
        api.on("POST", "/conf", [body](const RecordedRequest&) { return ServerReply::json(200, body); });
    }

    /// Runs `first` and then every worker queued behind it, in order, on this
    /// thread (as the worker thread runs them, failure clean-ups included), until the queue is empty, a worker throws a LauncherError, or
    /// the next worker satisfies `stopBefore`.
    Road drive(std::shared_ptr<Worker::WorkerBase> first,
               const std::function<bool(const Worker::WorkerBase&)>& stopBefore = {}) {
        Road road;
        harness.thread->workers().append(std::move(first));
        while (auto worker = harness.thread->workers().takeFirst()) {
            if (stopBefore && stopBefore(**worker)) {
                road.next = *worker;
                break;
            }
            road.ran.push_back(*worker);
            try {
                (*worker)->run();
            } catch (const Worker::LauncherError& error) {
                road.error = error;
                break;
            }
        }
        return road;
    }

    template <class T>
    static std::function<bool(const Worker::WorkerBase&)> before() {
        return [](const Worker::WorkerBase& worker) { return dynamic_cast<const T*>(&worker) != nullptr; };
    }

    /// The pending records of `minorType` with `event`.
    static std::vector<Rum::LogData> records(const std::string& minorType, const std::string& event) {
        std::vector<Rum::LogData> found;
        for (const auto& record : Rum::Api::pendingRecords())
            if (record.MinorType == minorType && record.Event == event) found.push_back(record);
        return found;
    }

    HttpsServer collector;
    ScopedEnv collectorRoot{"HEXORA_RUM_URL", collector.url("/")};
    ScopedTestClock clock;
    TestBundle launcher;
    TempDir sources;
    HttpsServer api;
    HttpsServer files;
    ScopedProcessLauncher processes;
    ScopedProcessTable table{OwnPid};
    EngineHarness harness;
};

}  // namespace hexora::test
