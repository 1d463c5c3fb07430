// Benchmark: CDownload (the launcher's parallel download, coreCount unit
// threads) against the curl command line (`curl -Z --parallel-max <cores>`,
// one process for all files) fetching the same files from the same local
// HTTPS server in the same run. Two servers, each in its own rows: the
// tests' server (in this process) and nginx (the update service's file
// domain, a child process, as the real file server is a program of its
// own). Two workloads: one large package, and many small files. The sides
// take turns at going first; every run checks that both wrote the right
// bytes.
//
//   bench_download [--large-mib M] [--files N] [--file-kib K] [--repeat R]
//                  [--server both|local|nginx]
//
// Defaults (one 64 MiB package; 200 files of 16 KiB; 7 runs a side; both
// servers) run in a few seconds. Each row gives the best and the median of
// the runs of each side; a single file is fetched by plain `curl -o`. A launcher parses the trusted authorities
// once and resumes TLS sessions with a server it has talked to, so CDownload's
// first run of a server's first workload is reported apart: it pays both, as
// curl does in every run. The worker's fixed 1.0 s pause after a
// passed run is skipped by the benchmark's clock (and reported), every other
// wait is real.
#include "NginxFileServer.hpp"
#include "ServiceCertificates.hpp"
#include "ServiceLayout.hpp"

#include "engine/UIUpdateManager.hpp"
#include "engine/WorkerThread.hpp"
#include "platform/Clock.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/http/TrustedCertificates.hpp"
#include "support/server/HttpsServer.hpp"
#include "workers/common/download/CDownload.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {
namespace fs = std::filesystem;
using namespace hexora;
using SteadyClock = std::chrono::steady_clock;

struct Options {
    long largeMib = 64;
    int files = 200;
    int fileKib = 16;
    int repeat = 7;
    std::string server = "both";
};

// One file server both sides fetch from.
struct Server {
    std::string name;
    std::string url;
    std::string caFile;
};

// Real sleeps, except the worker's one-second pause at the end of a passed run.
class BenchClock final : public platform::Clock {
public:
    void sleepFor(Seconds duration) override {
        if (duration.count() >= 1.0) return;
        std::this_thread::sleep_for(duration);
    }
    void sleepForUnlessWoken(Seconds duration, platform::Wakeup& wakeup) override {
        if (duration.count() >= 1.0) return;
        wakeup.waitFor(duration);
    }
    TimePoint now() override { return std::chrono::system_clock::now(); }
};

struct Workload {
    std::string name;
    std::vector<std::string> hashes;
    std::vector<std::string> files;
    std::vector<std::uintmax_t> sizes;
};

void writeFile(const fs::path& path, std::uintmax_t size, char seed) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, seed);
    for (std::size_t i = 0; i < block.size(); i += 4096) block[i] = static_cast<char>(seed + i / 4096);
    for (std::uintmax_t left = size; left > 0;) {
        const auto n = std::min<std::uintmax_t>(left, block.size());
        out.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
}

bool sameSizes(const fs::path& folder, const Workload& work) {
    for (std::size_t i = 0; i < work.files.size(); ++i) {
        std::error_code error;
        if (fs::file_size(folder / work.files[i], error) != work.sizes[i] || error) return false;
    }
    return true;
}

double seconds(SteadyClock::duration d) { return std::chrono::duration<double>(d).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double runLauncher(const Workload& work, const fs::path& target, bool& ok) {
    fs::remove_all(target);
    auto manager = std::make_shared<UIUpdateManager>(nullptr, nullptr);
    auto thread = std::make_shared<Worker::WorkerThread>(manager);
    Worker::Common::CDownload download(thread, work.hashes, work.files, target.string());
    const auto start = SteadyClock::now();
    try {
        download.work();
        ok = sameSizes(target, work);
    } catch (const std::exception& error) {
        std::cerr << "CDownload failed: " << error.what() << "\n";
        ok = false;
    }
    const double elapsed = seconds(SteadyClock::now() - start);
    manager->queue().removeAll();
    return elapsed;
}

double runCurl(const Workload& work, const Server& server, const fs::path& target, unsigned cores, bool& ok) {
    fs::remove_all(target);
    fs::create_directories(target);
    const fs::path config = target.parent_path() / "curl.config";
    {
        std::ofstream out(config);
        for (std::size_t i = 0; i < work.files.size(); ++i) {
            out << "url = \"" << server.url << "/update/" << work.hashes[i] << "/" << work.files[i] << "\"\n";
            out << "output = \"" << (target / work.files[i]).string() << "\"\n";
        }
    }
    // One file: plain curl; several: curl's own parallel transfers.
    const std::string parallel = work.files.size() > 1 ? "-Z --parallel-max " + std::to_string(cores) + " " : "";
    const std::string command = "curl -sS --no-progress-meter --fail " + parallel + "--cacert '" + server.caFile +
                                "' -K '" + config.string() + "'";
    const auto start = SteadyClock::now();
    const int status = std::system(command.c_str());
    const double elapsed = seconds(SteadyClock::now() - start);
    ok = status == 0 && sameSizes(target, work);
    return elapsed;
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const long value = std::atol(argv[i + 1]);
        if (flag == "--server" && (std::string(argv[i + 1]) == "both" || std::string(argv[i + 1]) == "local" ||
                                   std::string(argv[i + 1]) == "nginx"))
            options.server = argv[i + 1];
        else if (flag == "--large-mib") options.largeMib = std::max(1L, value);
        else if (flag == "--files") options.files = static_cast<int>(std::max(1L, value));
        else if (flag == "--file-kib") options.fileKib = static_cast<int>(std::max(1L, value));
        else if (flag == "--repeat") options.repeat = static_cast<int>(std::max(1L, value));
        else {
            std::cerr << "unknown option " << flag << "\n";
            std::exit(2);
        }
    }
    return options;
}

// Both sides fetch every workload from `server`, best of `repeat` each.
int compare(const Server& server, const std::vector<const Workload*>& workloads, const Options& options,
            const fs::path& root, unsigned cores) {
    ApiDomains::createLists({"https://api.invalid"}, {server.url});
    Http::TrustedCertificates::setExtraCaFile(server.caFile);
    // One untimed fetch by curl first, so that neither side meets a server that just started.
    bool warmedUp = false;
    runCurl(*workloads.front(), server, root / "curl", cores, warmedUp);
    int failures = 0;
    for (const Workload* work : workloads) {
        std::vector<double> launcherTimes, curlTimes;
        double firstLauncher = 0;
        for (int r = 0; r < options.repeat; ++r) {
            bool launcherOk = false, curlOk = false;
            auto launcher = [&] {
                const double elapsed = runLauncher(*work, root / "launcher", launcherOk);
                if (r == 0) firstLauncher = elapsed;
                launcherTimes.push_back(elapsed);
            };
            auto curl = [&] { curlTimes.push_back(runCurl(*work, server, root / "curl", cores, curlOk)); };
            if (r % 2 == 0) {
                launcher();
                curl();
            } else {
                curl();
                launcher();
            }
            if (!launcherOk || !curlOk) {
                std::fprintf(stderr, "%s from %s: wrong result (CDownload %s, curl %s)\n", work->name.c_str(),
                             server.name.c_str(), launcherOk ? "ok" : "FAILED", curlOk ? "ok" : "FAILED");
                ++failures;
            }
        }
        std::uintmax_t bytes = 0;
        for (auto size : work->sizes) bytes += size;
        const double bestLauncher = *std::min_element(launcherTimes.begin(), launcherTimes.end());
        const double bestCurl = *std::min_element(curlTimes.begin(), curlTimes.end());
        const double medianLauncher = median(launcherTimes);
        const double medianCurl = median(curlTimes);
        std::printf("%-7s %-18s %8.3f %8.3f %8.3f %8.3f %8.2fx %8.2fx %9.1f %8.3f\n", server.name.c_str(),
                    work->name.c_str(), bestLauncher, medianLauncher, bestCurl, medianCurl, bestCurl / bestLauncher,
                    medianCurl / medianLauncher, static_cast<double>(bytes) / 1e6 / bestLauncher, firstLauncher);
    }
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const fs::path root = fs::temp_directory_path() / ("bench_download_" + std::to_string(::getpid()));
    // What both servers serve: files/update/<hash>/<file>.
    const fs::path files = root / "files";
    const fs::path served = files / "update";

    Workload large{"one large package", {"pkg"}, {"package.zip"}, {std::uintmax_t(options.largeMib) << 20}};
    writeFile(served / "pkg" / "package.zip", large.sizes[0], 'L');
    Workload small{"many small files", {}, {}, {}};
    for (int i = 0; i < options.files; ++i) {
        // Appended, not "h" + to_string(): GCC 12 reports a false -Wrestrict
        // overlap in the inlined operator+ (GCC bug 105651).
        small.hashes.push_back(std::string("h").append(std::to_string(i % 16)));
        small.files.push_back("file" + std::to_string(i) + ".bin");
        small.sizes.push_back(std::uintmax_t(options.fileKib) << 10);
        writeFile(served / small.hashes.back() / small.files.back(), small.sizes.back(), static_cast<char>('a' + i % 26));
    }

    platform::Clock::install(std::make_shared<BenchClock>());
    int failures = 0;
    std::printf("bench_download: %u cores; CDownload's 1.0 s pause after a passed run is skipped\n", cores);
    std::printf("%-7s %-18s %8s %8s %8s %8s %9s %9s %9s %8s\n", "server", "workload", "ours", "ours", "curl",
                "curl", "speed", "speed", "ours", "first");
    std::printf("%-7s %-18s %8s %8s %8s %8s %9s %9s %9s %8s\n", "", "", "best s", "median s", "best s", "median s",
                "best", "median", "MB/s", "s");
    if (options.server != "nginx") {
        test::HttpsServer server(test::HttpsServer::Config{true, true});
        server.serveFolder("/update/", served);
        failures += compare({"local", server.url(), test::HttpsServer::caFile()}, {&large, &small}, options, root, cores);
    }
    if (options.server != "local") {
        const tools::ServiceLayout layout(root / "nginx-state", files);
        const tools::ServiceCertificates certificates(layout.certificates());
        tools::NginxFileServer nginx(layout, certificates.certFile(), certificates.keyFile(), 1);
        failures += compare({"nginx", nginx.urls().front(), certificates.caFile().string()}, {&large, &small}, options,
                            root, cores);
    }
    std::printf("ours = CDownload; speed = curl time / CDownload time (above 1: CDownload faster), of the best and\n"
                "of the median of %d runs a side, sides in turn first\n"
                "first = CDownload's first run; for a server's first workload it parses the authorities and makes a\n"
                "full TLS handshake, as a launcher's first transfer does (curl does both in every run)\n",
                options.repeat);
    Http::TrustedCertificates::setExtraCaFile(std::nullopt);
    platform::Clock::install(nullptr);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return failures == 0 ? 0 : 1;
}
