// Benchmark: the launcher's file hashing (SHA1::sha1HexOfFile, one file after
// the other as a validation unit does) against coreutils `sha1sum` on the
// same data in the same run. Each side runs in a fresh process so that its
// peak resident memory can be read from wait4(); the data are written first
// and are in the page cache for both sides. Every run checks that both sides
// computed the same digests. The runner uses fork/exec and ptrace: Linux only,
// like the rest of this folder's tooling.
//
//   bench_sha1 [--files N] [--max-file-kib K] [--large-mib M] [--repeat R] [--keep DIR]
//
// Defaults (2000 files of 1..64 KiB, one 256 MiB file, best of 3) run in a few
// seconds. --large-mib 4200 shows a file past 4 GiB at constant memory.
#include "RunResult.hpp"
#include "services/internal/SHA1.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <csignal>
#include <sys/ptrace.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using hexora::bench::RunResult;

struct Options {
    int files = 2000;
    int maxFileKib = 64;
    long largeMib = 256;
    int repeat = 3;
    std::string keep;
};

// VmHWM (peak resident set of the process's own memory since its exec) of a
// live or exit-stopped process, in KiB; -1 when unreadable.
long peakResidentKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

// Runs `argv` with stdout sent to `outputPath` and returns its wall time and
// peak memory. The child is traced only to stop it at its exit, where its
// VmHWM is read: rusage's maxrss would include the memory of this process,
// which the child's exec inherits into that figure.
RunResult runProcess(const std::vector<std::string>& argv, const fs::path& outputPath) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    RunResult result;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(126);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);  // stopped after exec
    if (WIFSTOPPED(status)) {
        ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL));
        ptrace(PTRACE_CONT, pid, nullptr, nullptr);
        for (;;) {
            waitpid(pid, &status, 0);
            if (!WIFSTOPPED(status)) break;
            int forward = 0;
            if ((status >> 8) == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
                result.peakKib = peakResidentKib(pid);
            } else {
                forward = WSTOPSIG(status);
            }
            ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(forward)));
        }
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && result.peakKib > 0;
    return result;
}

// Pseudo-random content: one random block written over and over, each copy
// made distinct by a counter in its first bytes (fast to make, no runs of
// equal blocks for a file system to fold).
class ContentSource {
public:
    explicit ContentSource(std::uint64_t seed) : random_(seed), block_(1 << 17) {
        for (auto& word : block_) word = random_();
    }
    void writeFile(const fs::path& path, std::size_t size) {
        std::ofstream out(path, std::ios::binary);
        std::size_t left = size;
        while (left > 0) {
            block_[0] = ++counter_;
            const std::size_t chunk = std::min(left, block_.size() * sizeof(std::uint64_t));
            out.write(reinterpret_cast<const char*>(block_.data()), static_cast<std::streamsize>(chunk));
            left -= chunk;
        }
    }
    std::mt19937_64& random() { return random_; }

private:
    std::mt19937_64 random_;
    std::vector<std::uint64_t> block_;
    std::uint64_t counter_ = 0;
};

std::vector<fs::path> makeTree(const fs::path& root, const Options& options, ContentSource& content) {
    std::vector<fs::path> files;
    std::uniform_int_distribution<std::size_t> sizes(1024, static_cast<std::size_t>(options.maxFileKib) * 1024);
    for (int i = 0; i < options.files; ++i) {
        const fs::path folder = root / ("dir" + std::to_string(i % 40)) / ("sub" + std::to_string(i % 7));
        fs::create_directories(folder);
        files.push_back(folder / ("file" + std::to_string(i) + ".bin"));
        content.writeFile(files.back(), sizes(content.random()));
    }
    return files;
}

// The digest column of each output line, in upper case.
std::vector<std::string> digestsIn(const fs::path& output) {
    std::vector<std::string> digests;
    std::ifstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        std::string digest = line.substr(0, line.find(' '));
        std::transform(digest.begin(), digest.end(), digest.begin(), [](unsigned char c) { return std::toupper(c); });
        digests.push_back(digest);
    }
    return digests;
}

std::uintmax_t totalBytes(const std::vector<fs::path>& files) {
    std::uintmax_t total = 0;
    for (const auto& file : files) total += fs::file_size(file);
    return total;
}

void compare(const char* label, const std::vector<fs::path>& files, const fs::path& work, const Options& options) {
    std::vector<std::string> ours{"/proc/self/exe", "--hash"};
    std::vector<std::string> theirs{"/usr/bin/sha1sum", "--"};
    for (const auto& file : files) {
        ours.push_back(file.string());
        theirs.push_back(file.string());
    }
    // posix_spawn needs the real path of this executable, not the /proc link.
    ours[0] = fs::read_symlink("/proc/self/exe").string();

    RunResult best[2];
    best[0].seconds = best[1].seconds = 1e300;
    for (int round = 0; round < options.repeat; ++round) {
        const RunResult results[2] = {runProcess(ours, work / "ours.txt"), runProcess(theirs, work / "theirs.txt")};
        for (int side = 0; side < 2; ++side) {
            if (!results[side].ok) {
                std::cerr << label << ": " << (side == 0 ? "hexora" : "sha1sum") << " run failed\n";
                std::exit(1);
            }
            best[side].seconds = std::min(best[side].seconds, results[side].seconds);
            best[side].peakKib = std::max(best[side].peakKib, results[side].peakKib);
        }
        if (digestsIn(work / "ours.txt") != digestsIn(work / "theirs.txt")) {
            std::cerr << label << ": digests differ from sha1sum\n";
            std::exit(1);
        }
    }
    const double mib = static_cast<double>(totalBytes(files)) / (1024.0 * 1024.0);
    std::printf("%-26s %9.1f MiB | hexora %7.3f s %8.0f MiB/s %7ld KiB peak | sha1sum %7.3f s %8.0f MiB/s %7ld KiB peak"
                " | sha1sum time / hexora time %.2f\n",
                label, mib, best[0].seconds, mib / best[0].seconds, best[0].peakKib, best[1].seconds,
                mib / best[1].seconds, best[1].peakKib, best[1].seconds / best[0].seconds);
}

// Child mode: one line "<digest>  <path>" per file, as sha1sum prints them.
int hashFiles(int argc, char** argv) {
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        const auto digest = hexora::SHA1::sha1HexOfFile(argv[i]);
        if (!digest) {
            std::fprintf(stderr, "cannot hash %s\n", argv[i]);
            status = 1;
            continue;
        }
        std::printf("%s  %s\n", digest->c_str(), argv[i]);
    }
    return status;
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--files") options.files = std::atoi(argv[i + 1]);
        else if (flag == "--max-file-kib") options.maxFileKib = std::max(1, std::atoi(argv[i + 1]));
        else if (flag == "--large-mib") options.largeMib = std::atol(argv[i + 1]);
        else if (flag == "--repeat") options.repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (flag == "--keep") options.keep = argv[i + 1];
        else {
            std::cerr << "unknown option " << flag << "\n";
            std::exit(2);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--hash") == 0) return hashFiles(argc, argv);
    const Options options = parse(argc, argv);

    const fs::path work = options.keep.empty() ? fs::temp_directory_path() / ("bench_sha1." + std::to_string(getpid()))
                                               : fs::path(options.keep);
    fs::create_directories(work);
    ContentSource content(20261210);
    const auto tree = makeTree(work / "tree", options, content);
    const fs::path large = work / "large.bin";
    content.writeFile(large, static_cast<std::size_t>(options.largeMib) * 1024 * 1024);

    std::printf("SHA-1, best of %d runs; peak = maximum resident set of the hashing process\n", options.repeat);
    compare(("tree of " + std::to_string(tree.size()) + " files").c_str(), tree, work, options);
    compare("one large file", {large}, work, options);

    if (options.keep.empty()) fs::remove_all(work);
    return 0;
}
