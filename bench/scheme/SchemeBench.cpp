// Benchmark: loading a scheme file (Schemes::load, which reads the text
// straight into the scheme's records) beside the way it was loaded before,
// a JSON document of the whole text from which the records are then taken
// (nlohmann::json::parse, as a program using the library plainly does).
// Each side runs in a fresh process, so its peak resident memory is its own;
// the child times its own load (reading the file included), the process
// start left out. The schemes are made at bench time, shaped like a game's
// (a few hundred folders, short file names, 40-digit hashes; some 120 bytes
// an entry, so 270,000 entries lie just under the cap).
//
//   bench_scheme [--entries N[,N...]] [--repeat R] [--keep DIR]
//
// Defaults: 10,000, 100,000 and 270,000 entries (the last just under the
// 32 MiB cap of a scheme file), 5 runs per side taken in turn; best and
// median of the runs are reported. Linux only (peak memory from wait4).
#include "RunResult.hpp"
#include "services/file/Schemes.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;
using hexora::bench::RunResult;
using hexora::bench::runProcess;

struct Options {
    std::vector<int> entries{10000, 100000, 270000};
    int repeat = 5;
    std::string keep;
};

void makeScheme(const fs::path& path, int entries) {
    std::mt19937_64 random(static_cast<unsigned>(entries));
    static constexpr char Hex[] = "0123456789ABCDEF";
    hexora::SchemeFormat scheme{"2.0.1", "game", {}};
    scheme.files.reserve(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i) {
        std::string hash(40, '0');
        for (char& digit : hash) digit = Hex[random() % 16];
        scheme.files.push_back({"a" + std::to_string(i) + ".dat",
                                "Hexora.app/Contents/Resources/p" + std::to_string(i % 37) + "/g" + std::to_string(i % 11),
                                std::move(hash)});
    }
    std::ofstream(path, std::ios::binary) << scheme.encode();
}

// The earlier load: the whole text as a JSON document, then the records.
int documentLoad(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    const nlohmann::json root = nlohmann::json::parse(text, nullptr, false);
    if (!root.is_object() || !root.contains("files") || !root["files"].is_array()) return -1;
    hexora::SchemeFormat scheme{root.value("version", ""), root.value("header", ""), {}};
    scheme.files.reserve(root["files"].size());
    for (const auto& entry : root["files"]) {
        if (!entry.is_object()) return -1;
        scheme.files.push_back({entry.value("file", ""), entry.value("directory", ""), entry.value("hash", "")});
    }
    return static_cast<int>(scheme.files.size());
}

int recordLoad(const fs::path& path) {
    hexora::Schemes schemes(path);
    schemes.load();
    return schemes.scheme ? static_cast<int>(schemes.scheme->files.size()) : -1;
}

// Child mode: loads `path` one way, writes the seconds it took to `report`;
// exits 0 when it found `expected` entries.
int childMode(const std::string& how, const fs::path& path, int expected, const fs::path& report) {
    const auto start = std::chrono::steady_clock::now();
    const int found = how == "document" ? documentLoad(path) : recordLoad(path);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ofstream(report) << seconds;
    return found == expected ? 0 : 1;
}

struct Runs {
    std::vector<double> seconds;
    std::vector<long> peakKib;
    bool ok = true;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void run(Runs& runs, const std::string& self, const std::string& how, const fs::path& scheme, int entries,
         const fs::path& report) {
    const RunResult result = runProcess({self, "--child", how, scheme.string(), std::to_string(entries), report.string()});
    double seconds = 0;
    std::ifstream(report) >> seconds;
    runs.ok = runs.ok && result.ok;
    runs.seconds.push_back(seconds);
    runs.peakKib.push_back(result.peakKib);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--entries") {
            options.entries.clear();
            std::stringstream list(argv[i + 1]);
            for (std::string item; std::getline(list, item, ',');) options.entries.push_back(std::atoi(item.c_str()));
        } else if (flag == "--repeat") {
            options.repeat = std::max(1, std::atoi(argv[i + 1]));
        } else if (flag == "--keep") {
            options.keep = argv[i + 1];
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--child") return childMode(argv[2], argv[3], std::atoi(argv[4]), argv[5]);

    const Options options = parse(argc, argv);
    const fs::path work = options.keep.empty() ? fs::temp_directory_path() / ("hexora-scheme-" + std::to_string(getpid()))
                                               : fs::path(options.keep);
    fs::create_directories(work);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    std::printf("%9s %9s | %-28s | %-28s | %s\n", "entries", "MiB", "records: best/median s, peak MiB",
                "document: best/median s, peak MiB", "document / records (median time, peak)");
    for (const int entries : options.entries) {
        const fs::path scheme = work / ("scheme-" + std::to_string(entries) + ".json");
        if (!fs::exists(scheme)) makeScheme(scheme, entries);
        const double mib = static_cast<double>(fs::file_size(scheme)) / (1024.0 * 1024.0);
        Runs records;
        Runs document;
        for (int round = 0; round < options.repeat; ++round) {
            if (round % 2 == 0) {
                run(records, self, "records", scheme, entries, work / "report");
                run(document, self, "document", scheme, entries, work / "report");
            } else {
                run(document, self, "document", scheme, entries, work / "report");
                run(records, self, "records", scheme, entries, work / "report");
            }
        }
        if (!records.ok || !document.ok) {
            std::cerr << "a load of " << entries << " entries failed (records ok " << records.ok << ", document ok "
                      << document.ok << ")\n";
            return 1;
        }
        const auto peak = [](const Runs& runs) {
            return static_cast<double>(*std::max_element(runs.peakKib.begin(), runs.peakKib.end())) / 1024.0;
        };
        const auto best = [](const Runs& runs) { return *std::min_element(runs.seconds.begin(), runs.seconds.end()); };
        std::printf("%9d %9.1f | %7.3f %7.3f %9.1f    | %7.3f %7.3f %9.1f    | %.1fx time, %.1fx memory\n", entries, mib,
                    best(records), median(records.seconds), peak(records), best(document), median(document.seconds),
                    peak(document), median(document.seconds) / median(records.seconds), peak(document) / peak(records));
    }
    if (options.keep.empty()) fs::remove_all(work);
    return 0;
}
