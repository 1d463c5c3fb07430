// Benchmark: the whole game road through the workers beside the tool chain a
// user would script, on the same realistic package (RealisticPackage) served
// by the same local HTTPS server, in one run:
//
//   hexora: CDownload -> CUnzip -> CValidation -> CCheckValidationResult ->
//           CPatch (full) -> CCleanUp of temp, queued on a WorkerThread as
//           the game road queues them;
//   tools:  curl; unzip -q; find | xargs -P<cores> sha1sum -c; mv, mv, rm -rf.
//
// Each side runs in fresh processes, so that its wall time and peak resident
// memory are its own (the tools' peak is that of their largest process). The
// workers' production pauses (1.0 s after a passed download, unzip and
// validation) are not slept: they are counted and reported apart, every other
// wait (the 0.01 s polls) is real. Step times of the road come from marker
// workers queued between the steps. CUnzip alone beside unzip -q alone gives
// the extraction's own peak memory.
//
//   bench_road [--mib M | --full] [--repeat R] [--keep DIR]
//
// Defaults: a 256 MiB package (same shape, a quarter of the files), best of 2
// rounds with the sides taking turns at going first; --full: 1 GiB in 4,664
// files. --keep reuses the package made in DIR by an earlier run.
// The sha1sum lists are made with the package (a user's script would make
// them from scheme.json); both sides then check every file.
#include "RealisticPackage.hpp"
#include "RunResult.hpp"

#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerThread.hpp"
#include "platform/Clock.hpp"
#include "services/api/ApiDomains.hpp"
#include "support/server/HttpsServer.hpp"
#include "workers/common/validate/CCheckValidationResult.hpp"
#include "workers/common/patch/CCleanUp.hpp"
#include "workers/common/download/CDownload.hpp"
#include "workers/common/patch/CPatch.hpp"
#include "workers/common/unpack/CUnzip.hpp"
#include "workers/common/validate/CValidation.hpp"
#include "workers/common/MultiFileWorker.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;
using namespace hexora;
using SteadyClock = std::chrono::steady_clock;
using bench::RunResult;
using bench::runProcess;

const std::string Version = "2.0.2";
const std::string Hash = "a7f3c9e1";
const char* const Steps[] = {"download", "unzip", "validate", "patch"};

struct Options {
    std::uint64_t mib = 256;
    int repeat = 2;
    std::string keep;
};

// ---- the road, in a child process -------------------------------------------

// Real sleeps, except the workers' pauses after a passed step, which are counted.
class PauseCountingClock final : public platform::Clock {
public:
    void sleepFor(Seconds duration) override {
        if (!counted(duration)) std::this_thread::sleep_for(duration);
    }
    void sleepForUnlessWoken(Seconds duration, platform::Wakeup& wakeup) override {
        if (!counted(duration)) wakeup.waitFor(duration);
    }
    TimePoint now() override { return std::chrono::system_clock::now(); }
    double paused() {
        std::lock_guard lock(mutex_);
        return paused_;
    }

private:
    bool counted(Seconds duration) {
        if (duration.count() != Worker::Common::MultiFile::PassedStepPauseSeconds) return false;
        std::lock_guard lock(mutex_);
        paused_ += duration.count();
        return true;
    }

    std::mutex mutex_;
    double paused_ = 0;
};

// A worker that only notes when the queue reached it.
class Mark final : public Worker::Worker {
public:
    Mark(std::shared_ptr<WorkerThread> thread, std::function<void()> noted)
        : Worker(std::move(thread)), noted_(std::move(noted)) {}
    void work() override { noted_(); }

private:
    std::function<void()> noted_;
};

int roadMode(const std::string& url, const fs::path& storage, const fs::path& results) {
    auto clock = std::make_shared<PauseCountingClock>();
    platform::Clock::install(clock);
    ApiDomains::createLists({"https://api.invalid"}, {url});
    const fs::path temp = storage / "temp";
    const fs::path brokenList = temp / "gameRetry.json";
    auto thread = std::make_shared<Worker::WorkerThread>(std::make_shared<UIUpdateManager>(nullptr, nullptr));

    std::vector<std::tuple<std::string, SteadyClock::time_point, double>> marks;
    auto mark = [&](const std::string& name) {
        return std::make_shared<Mark>(thread, [&, name] { marks.emplace_back(name, SteadyClock::now(), clock->paused()); });
    };
    bool cleaned = false;
    auto& queue = thread->workers();
    queue.append(mark("start"));
    queue.append(std::make_shared<Worker::Common::CDownload>(thread, std::vector<std::string>{Hash},
                                                             std::vector<std::string>{Version + ".zip"}, temp.string()));
    queue.append(mark("download"));
    queue.append(std::make_shared<Worker::Common::CUnzip>(thread, std::vector<std::string>{(temp / Version).string() + ".zip"},
                                                          std::vector<std::string>{temp.string()}));
    queue.append(mark("unzip"));
    queue.append(std::make_shared<Worker::Common::CValidation>(thread, (temp / Version / "scheme.json").string(),
                                                               temp / Version / "Hexora.app", brokenList));
    queue.append(std::make_shared<Worker::Common::CCheckValidationResult>(thread, brokenList, [&](bool passed) {
        if (!passed) throw std::runtime_error("the package did not pass its validation");
        queue.append(mark("validate"));
        queue.append(std::make_shared<Worker::Common::CPatch>(thread, temp / Version / "Hexora.app/Contents",
                                                              storage / "Hexora.app/Contents", temp / "Hexora.old.app"));
        queue.append(std::make_shared<Worker::Common::CCleanUp>(thread, std::vector<fs::path>{temp},
                                                                [&](bool ok) { cleaned = ok; }));
        queue.append(mark("patch"));
    }));
    thread->start();
    thread->join();
    if (!cleaned || marks.size() != 5) {
        std::cerr << "the road did not reach its end\n";
        return 1;
    }
    std::ofstream out(results);
    for (std::size_t i = 1; i < marks.size(); ++i) {
        const auto& [name, at, paused] = marks[i];
        out << name << " " << std::chrono::duration<double>(at - std::get<1>(marks[i - 1])).count() << " "
            << paused - std::get<2>(marks[i - 1]) << "\n";
    }
    return 0;
}

int unzipMode(const std::string& zip, const std::string& target) {
    platform::Clock::install(std::make_shared<PauseCountingClock>());
    try {
        Worker::Common::CUnzip worker(
            std::make_shared<Worker::WorkerThread>(std::make_shared<UIUpdateManager>(nullptr, nullptr)), {zip}, {target});
        worker.work();
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}

// ---- the parent ----------------------------------------------------------------

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The installed game a road replaces: the previous round's, or a small one.
void prepareStorage(const fs::path& storage) {
    fs::remove_all(storage / "temp");
    if (!fs::exists(storage / "Hexora.app/Contents")) {
        fs::create_directories(storage / "Hexora.app/Contents/MacOS");
        std::ofstream(storage / "Hexora.app/Contents/MacOS/Hexora") << "old";
    }
}

bool holdsPackage(const fs::path& contents, const bench::RealisticPackage& package) {
    std::size_t files = 0;
    std::uint64_t bytes = 0;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(contents, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!it->is_regular_file()) continue;
        ++files;
        bytes += it->file_size();
    }
    return !error && files == package.files && bytes == package.bytes;
}

struct Side {
    std::map<std::string, double> steps;  // best time per step
    double total = 1e300;                 // best whole road, pauses excluded
    double pauses = 0;
    std::map<std::string, double> stepPauses;
    long peakKib = 0;
    bool ok = true;

    void keepStep(const std::string& name, double seconds) {
        auto [it, added] = steps.emplace(name, seconds);
        if (!added) it->second = std::min(it->second, seconds);
    }
};

void runOurs(Side& side, const std::string& self, const std::string& url, const fs::path& storage,
             const bench::RealisticPackage& package) {
    prepareStorage(storage);
    const fs::path results = storage.parent_path() / "road-results.txt";
    const RunResult run = runProcess({self, "--road", url, storage.string(), results.string()});
    side.ok = side.ok && run.ok && holdsPackage(storage / "Hexora.app/Contents", package) && !fs::exists(storage / "temp");
    side.peakKib = std::max(side.peakKib, run.peakKib);
    std::ifstream in(results);
    std::string name;
    double seconds = 0, paused = 0, total = 0, pauses = 0;
    while (in >> name >> seconds >> paused) {
        side.keepStep(name, seconds);
        side.stepPauses[name] = paused;
        total += seconds;
        pauses += paused;
    }
    side.total = std::min(side.total, total);
    side.pauses = pauses;
}

void runTools(Side& side, const std::string& url, const fs::path& storage, const bench::RealisticPackage& package,
              unsigned cores) {
    prepareStorage(storage);
    const fs::path temp = storage / "temp";
    const fs::path zip = temp / (Version + ".zip");
    const std::vector<std::pair<std::string, std::vector<std::string>>> steps = {
        {"download",
         {"/usr/bin/curl", "-sS", "--fail", "--create-dirs", "--cacert", test::HttpsServer::caFile(), "-o", zip.string(),
          url + "/update/" + Hash + "/" + Version + ".zip"}},
        {"unzip", {"/usr/bin/unzip", "-q", zip.string(), "-d", temp.string()}},
        {"validate",
         {"/bin/sh", "-c",
          "cd " + quoted(temp / Version / "Hexora.app") + " && find " + quoted(package.checksDir) +
              " -name 'part-*' -print0 | xargs -0 -P" + std::to_string(cores) + " -n1 sha1sum -c --quiet"}},
        {"patch",
         {"/bin/sh", "-c",
          "mv " + quoted(storage / "Hexora.app/Contents") + " " + quoted(temp / "Hexora.old.app") + " && mv " +
              quoted(temp / Version / "Hexora.app/Contents") + " " + quoted(storage / "Hexora.app/Contents") +
              " && rm -rf " + quoted(temp)}},
    };
    double total = 0;
    for (const auto& [name, argv] : steps) {
        const RunResult run = runProcess(argv);
        side.ok = side.ok && run.ok;
        side.peakKib = std::max(side.peakKib, run.peakKib);
        side.keepStep(name, run.seconds);
        total += run.seconds;
        if (!run.ok) break;
    }
    side.ok = side.ok && holdsPackage(storage / "Hexora.app/Contents", package);
    side.total = std::min(side.total, total);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const bool hasValue = i + 1 < argc;
        if (flag == "--full") options.mib = 1024;
        else if (flag == "--mib" && hasValue) options.mib = static_cast<std::uint64_t>(std::max(16, std::atoi(argv[++i])));
        else if (flag == "--repeat" && hasValue) options.repeat = std::max(1, std::atoi(argv[++i]));
        else if (flag == "--keep" && hasValue) options.keep = argv[++i];
        else {
            std::cerr << "usage: bench_road [--mib M | --full] [--repeat R] [--keep DIR]\n";
            std::exit(2);
        }
    }
    return options;
}

double mibOf(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--road") return roadMode(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::string(argv[1]) == "--unzip") return unzipMode(argv[2], argv[3]);

    const Options options = parse(argc, argv);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const fs::path work = options.keep.empty() ? fs::temp_directory_path() / ("hexora-road-" + std::to_string(getpid()))
                                               : fs::path(options.keep);
    const fs::path served = work / "served";
    const fs::path zip = served / Hash / (Version + ".zip");
    const fs::path checks = work / "checks";
    const std::string self = fs::read_symlink("/proc/self/exe").string();

    std::printf("bench_road: making a %llu MiB package (zip -6)...\n", static_cast<unsigned long long>(options.mib));
    std::fflush(stdout);
    const bench::RealisticPackage package = fs::exists(zip) && fs::exists(checks / "bytes")
                                                ? bench::describeMadePackage(zip, checks)
                                                : bench::makeRealisticPackage(zip, checks, work, Version, options.mib, cores);
    std::printf("package: %zu files, %.0f MiB unpacked, %.0f MiB zipped; %u cores; best of %d rounds\n", package.files,
                mibOf(package.bytes), mibOf(fs::file_size(zip)), cores, options.repeat);

    // The children trust the test authority and send their telemetry to a closed port.
    setenv("HEXORA_RUM_URL", "https://127.0.0.1:9/", 1);
    test::HttpsServer server(test::HttpsServer::Config{true, true});
    setenv("HEXORA_CA_FILE", test::HttpsServer::caFile().c_str(), 1);
    server.serveFolder("/update/", served);

    Side ours, tools;
    RunResult unzipOurs{1e300, 0, true}, unzipTool{1e300, 0, true};
    for (int round = 0; round < options.repeat; ++round) {
        auto runBoth = [&](bool oursFirst) {
            if (oursFirst) runOurs(ours, self, server.url(), work / "ours", package);
            runTools(tools, server.url(), work / "tools", package, cores);
            if (!oursFirst) runOurs(ours, self, server.url(), work / "ours", package);
        };
        runBoth(round % 2 == 0);
        for (const bool oursFirst : {round % 2 == 0, round % 2 != 0}) {
            if (oursFirst) {
                fs::remove_all(work / "unzip-ours");
                const RunResult run = runProcess({self, "--unzip", zip.string(), (work / "unzip-ours").string()});
                unzipOurs = {std::min(unzipOurs.seconds, run.seconds), std::max(unzipOurs.peakKib, run.peakKib),
                             unzipOurs.ok && run.ok};
            } else {
                fs::remove_all(work / "unzip-tool");
                const RunResult run = runProcess({"/usr/bin/unzip", "-q", zip.string(), "-d", (work / "unzip-tool").string()});
                unzipTool = {std::min(unzipTool.seconds, run.seconds), std::max(unzipTool.peakKib, run.peakKib),
                             unzipTool.ok && run.ok};
            }
        }
        fs::remove_all(work / "unzip-ours");
        fs::remove_all(work / "unzip-tool");
    }
    server.stop();
    if (!ours.ok || !tools.ok || !unzipOurs.ok || !unzipTool.ok) {
        std::fprintf(stderr, "a run failed or left the wrong tree (hexora %d, tools %d, CUnzip %d, unzip %d)\n", ours.ok,
                     tools.ok, unzipOurs.ok, unzipTool.ok);
        if (options.keep.empty()) fs::remove_all(work);
        return 1;
    }

    std::printf("\n%-26s %10s %10s %14s\n", "step (pauses excluded)", "hexora s", "tools s", "tools / hexora");
    for (const char* step : Steps)
        std::printf("%-26s %10.3f %10.3f %13.2fx\n", step, ours.steps[step], tools.steps[step],
                    tools.steps[step] / ours.steps[step]);
    std::printf("%-26s %10.3f %10.3f %13.2fx   (hexora / tools %.2f)\n", "whole road", ours.total, tools.total,
                tools.total / ours.total, ours.total / tools.total);
    std::printf("%-26s %10.3f %10s   (download %.1f, unzip %.1f, validation %.1f; not slept here)\n",
                "production pauses", ours.pauses, "-", ours.stepPauses["download"], ours.stepPauses["unzip"],
                ours.stepPauses["validate"]);
    std::printf("%-26s %10.3f %10.3f %13.2fx\n", "whole road with pauses", ours.total + ours.pauses, tools.total,
                tools.total / (ours.total + ours.pauses));
    std::printf("%-26s %9.1fM %9.1fM   (tools: largest process)\n", "peak memory, whole road", ours.peakKib / 1024.0,
                tools.peakKib / 1024.0);
    std::printf("%-26s %10.3f %10.3f %13.2fx   peak %.1f MiB vs %.1f MiB\n", "CUnzip alone vs unzip -q", unzipOurs.seconds,
                unzipTool.seconds, unzipTool.seconds / unzipOurs.seconds, unzipOurs.peakKib / 1024.0,
                unzipTool.peakKib / 1024.0);
    std::printf("\ngoals: unzip >= 5x (%.2fx), CUnzip peak < 64 MiB (%.1f MiB), validation >= 1.8x (%.2fx),\n"
                "       road <= 0.5x of the tools (%.2fx), download >= 0.95x of curl's speed (%.2fx)\n",
                unzipTool.seconds / unzipOurs.seconds, unzipOurs.peakKib / 1024.0,
                tools.steps["validate"] / ours.steps["validate"], ours.total / tools.total,
                tools.steps["download"] / ours.steps["download"]);
    if (options.keep.empty()) fs::remove_all(work);
    return 0;
}
