// Benchmark: CValidation over a tree of many files (all cores, one unit per
// file) beside `find | xargs -P<cores> sha1sum` on the same tree, and CUnzip
// of one large package beside `unzip -q` of the same package. Each side runs
// in a fresh process, so that its wall time and peak resident memory are its
// own; the data are written first and are in the page cache for both sides.
// Each run checks that both sides did the same work (every file passed the
// validation; both extractions hold the same bytes).
//
//   bench_pipeline [--files N] [--file-kib K] [--package-mib M] [--repeat R] [--keep DIR]
//
// Defaults: 4000 files of 512 KiB (2 GiB), a package of 512 MiB, best of 3
// rounds with the two sides taking turns at going first. Each row gives the
// cost per file beside the rate, so that a tree of many small files
// (--files 100000 --file-kib 1 --package-mib 100: every file in the
// package) shows what each file costs apart from its bytes.
// The peak of the tool side is that of its largest process (xargs runs up to
// <cores> sha1sum processes at once). Linux only, like the tools it compares.
#include "RunResult.hpp"
#include "engine/ILauncherView.hpp"
#include "engine/IDisplayTimer.hpp"
#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerThread.hpp"
#include "platform/Clock.hpp"
#include "services/file/SchemeFormat.hpp"
#include "services/internal/SHA1.hpp"
#include "workers/common/unpack/CUnzip.hpp"
#include "workers/common/validate/CValidation.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;
using hexora::bench::RunResult;
using hexora::bench::runProcess;

struct Options {
    int files = 4000;
    int fileKib = 512;
    int packageMib = 512;
    int repeat = 3;
    std::string keep;
};

// A display that shows nothing: the workers post to it as to the window.
class NullView : public hexora::ILauncherView {
public:
    void switchProgressBar(bool) override {}
    void setMessage(const std::optional<std::string>&, const std::optional<hexora::Color>&) override {}
    void setProgressValue(double) override {}
    void setWindowVisible(bool) override {}
    void setCloseButtonEnabled(bool) override {}
};
class NullTimer : public hexora::IDisplayTimer {
public:
    bool start(double, std::function<void()>) override { return true; }
    void stop() override {}
};

// The production clock without the 1 s pause a worker takes after its run
// (kept for the display, not part of the work measured); the 0.01 s polls
// stay real.
class BenchClock : public hexora::platform::Clock {
public:
    void sleepFor(Seconds duration) override {
        if (duration.count() < 0.5) std::this_thread::sleep_for(duration);
    }
    TimePoint now() override { return std::chrono::system_clock::now(); }
};

std::shared_ptr<hexora::Worker::WorkerThread> makeThread() {
    hexora::platform::Clock::install(std::make_shared<BenchClock>());
    auto manager = std::make_shared<hexora::UIUpdateManager>(std::make_shared<NullView>(), std::make_shared<NullTimer>());
    return std::make_shared<hexora::Worker::WorkerThread>(manager);
}

void writeRandomFile(const fs::path& path, std::size_t size, std::mt19937_64& random) {
    static std::vector<std::uint64_t> block(1 << 15);
    std::ofstream out(path, std::ios::binary);
    std::size_t left = size;
    while (left > 0) {
        for (auto& word : block) word = random();
        const std::size_t chunk = std::min(left, block.size() * sizeof(std::uint64_t));
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(chunk));
        left -= chunk;
    }
}

// The tree as a game bundle, and its scheme.
void makeTree(const fs::path& bundle, const fs::path& schemePath, const Options& options) {
    std::mt19937_64 random(42);
    hexora::SchemeFormat scheme{"1.0.0", "bench", {}};
    for (int i = 0; i < options.files; ++i) {
        const std::string directory = "Hexora.app/Contents/Resources/d" + std::to_string(i % 50) + "/s" + std::to_string(i % 9);
        const fs::path folder = bundle / hexora::Worker::Common::CValidation::localDirectory(directory);
        fs::create_directories(folder);
        const std::string name = "file" + std::to_string(i) + ".bin";
        writeRandomFile(folder / name, static_cast<std::size_t>(options.fileKib) * 1024, random);
        scheme.files.push_back({name, directory, *hexora::SHA1::sha1HexOfPath(folder / name)});
    }
    std::ofstream(schemePath) << scheme.encode();
}

// The best time (and highest peak) of `rounds` runs of each side, the sides
// taking turns at going first so that neither always meets a cold cache.
std::pair<RunResult, RunResult> bestOf(int rounds, const std::function<RunResult()>& ours,
                                       const std::function<RunResult()>& theirs) {
    RunResult best[2];
    best[0].seconds = best[1].seconds = 1e300;
    best[0].ok = best[1].ok = true;
    for (int round = 0; round < rounds; ++round) {
        RunResult results[2];
        if (round % 2 == 0) {
            results[0] = ours();
            results[1] = theirs();
        } else {
            results[1] = theirs();
            results[0] = ours();
        }
        for (int side = 0; side < 2; ++side) {
            best[side].ok = best[side].ok && results[side].ok;
            best[side].seconds = std::min(best[side].seconds, results[side].seconds);
            best[side].peakKib = std::max(best[side].peakKib, results[side].peakKib);
        }
    }
    return {best[0], best[1]};
}

std::uintmax_t treeBytes(const fs::path& root, std::size_t* count = nullptr) {
    std::uintmax_t total = 0;
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        total += entry.file_size();
        ++files;
    }
    if (count) *count = files;
    return total;
}

// One row: both sides' best time, rate, cost per file and peak memory.
void report(const char* label, double mib, std::size_t files, const RunResult& ours, const char* tool,
            const RunResult& theirs) {
    const double perFile = 1e6 / static_cast<double>(std::max<std::size_t>(files, 1));
    std::printf("%-20s %8.1f MiB %7zu files | hexora %7.3f s %6.0f MiB/s %7.1f us/file %7ld KiB peak | %-7s %7.3f s"
                " %6.0f MiB/s %7.1f us/file %7ld KiB peak | %s time / hexora time %.2f\n",
                label, mib, files, ours.seconds, mib / ours.seconds, ours.seconds * perFile, ours.peakKib, tool,
                theirs.seconds, mib / theirs.seconds, theirs.seconds * perFile, theirs.peakKib, tool,
                theirs.seconds / ours.seconds);
}

// Child modes: run one worker the way the worker thread would.
int validateMode(const std::string& scheme, const std::string& target, const std::string& brokenList) {
    hexora::Worker::Common::CValidation worker(makeThread(), scheme, target, brokenList);
    worker.work();
    return fs::exists(brokenList) ? 1 : 0;
}

int unzipMode(const std::string& zip, const std::string& target) {
    try {
        hexora::Worker::Common::CUnzip worker(makeThread(), {zip}, {target});
        worker.work();
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--files") options.files = std::atoi(argv[i + 1]);
        else if (flag == "--file-kib") options.fileKib = std::atoi(argv[i + 1]);
        else if (flag == "--package-mib") options.packageMib = std::atoi(argv[i + 1]);
        else if (flag == "--repeat") options.repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (flag == "--keep") options.keep = argv[i + 1];
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--validate") return validateMode(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::string(argv[1]) == "--unzip") return unzipMode(argv[2], argv[3]);

    const Options options = parse(argc, argv);
    const fs::path work = options.keep.empty() ? fs::temp_directory_path() / ("hexora-bench-" + std::to_string(getpid()))
                                               : fs::path(options.keep);
    fs::create_directories(work);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const fs::path bundle = work / "Hexora.app";
    const fs::path scheme = work / "gameScheme.json";
    if (!fs::exists(scheme)) makeTree(bundle, scheme, options);
    const double treeMib = static_cast<double>(treeBytes(bundle)) / (1024.0 * 1024.0);

    const auto [ours, theirs] = bestOf(
        options.repeat,
        [&] { return runProcess({self, "--validate", scheme.string(), bundle.string(), (work / "retry.json").string()}); },
        [&] {
            return runProcess({"/bin/sh", "-c",
                               "find '" + bundle.string() + "' -type f -print0 | xargs -0 -P" + std::to_string(cores) +
                                   " -n 64 sha1sum > /dev/null"});
        });
    if (!ours.ok || !theirs.ok) {
        std::cerr << "validation run failed (hexora ok " << ours.ok << ", sha1sum ok " << theirs.ok << ")\n";
        return 1;
    }
    report("validation", treeMib, static_cast<std::size_t>(options.files), ours, "sha1sum", theirs);

    // One package of about --package-mib of the tree's files, deflated.
    const fs::path package = work / "package.zip";
    if (!fs::exists(package)) {
        const int count = std::max(1, options.packageMib * 1024 / options.fileKib);
        std::string list;
        for (int i = 0; i < count && i < options.files; ++i)
            list += "Contents/Resources/d" + std::to_string(i % 50) + "/s" + std::to_string(i % 9) + "/file" + std::to_string(i) + ".bin\n";
        std::ofstream(work / "list.txt") << list;
        const std::string zip = "cd '" + bundle.string() + "' && zip -q -1 '" + package.string() + "' -@ < '" +
                                (work / "list.txt").string() + "'";
        if (std::system(zip.c_str()) != 0) return 1;
    }
    const double packageMib = static_cast<double>(fs::file_size(package)) / (1024.0 * 1024.0);
    const auto [unzipOurs, unzipTheirs] = bestOf(
        options.repeat,
        [&] {
            fs::remove_all(work / "ours");
            return runProcess({self, "--unzip", package.string(), (work / "ours").string()});
        },
        [&] {
            fs::remove_all(work / "theirs");
            return runProcess({"/usr/bin/unzip", "-q", "-o", package.string(), "-d", (work / "theirs").string()});
        });
    std::size_t ourFiles = 0;
    std::size_t theirFiles = 0;
    if (!unzipOurs.ok || !unzipTheirs.ok || treeBytes(work / "ours", &ourFiles) != treeBytes(work / "theirs", &theirFiles) ||
        ourFiles != theirFiles) {
        std::cerr << "unzip runs differ or failed\n";
        return 1;
    }
    report("unzip (one package)", packageMib, ourFiles, unzipOurs, "unzip", unzipTheirs);

    if (options.keep.empty()) fs::remove_all(work);
    return 0;
}
