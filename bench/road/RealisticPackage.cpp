#include "RealisticPackage.hpp"

#include "services/file/SchemeFormat.hpp"
#include "services/internal/SHA1.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

namespace hexora::bench {
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MiB = 1 << 20;

void writeTextLike(std::ofstream& out, std::uint64_t size, std::mt19937_64& random) {
    static const char* const words[] = {"sprite", "texture", "level", "vertex", "shader", "{\"id\":", "},\n",
                                        "0.125,", "true,", "null,", "<key>", "</key>", "hexora", "anim"};
    std::string chunk;
    std::uint64_t left = size;
    while (left > 0) {
        chunk.clear();
        while (chunk.size() < 64 * 1024) {
            chunk += words[random() % (sizeof words / sizeof *words)];
            if (random() % 4 == 0) chunk += std::to_string(random() % 100000);
            chunk += ' ';
        }
        const std::uint64_t n = std::min<std::uint64_t>(left, chunk.size());
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
}

void writeIncompressible(std::ofstream& out, std::uint64_t size, std::mt19937_64& random) {
    std::vector<std::uint64_t> block(8192);
    std::uint64_t left = size;
    while (left > 0) {
        for (auto& word : block) word = random();
        const std::uint64_t n = std::min<std::uint64_t>(left, block.size() * 8);
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
        left -= n;
    }
}

struct Planned {
    std::string directory;  // below Hexora.app
    std::string name;
    std::uint64_t size;
};

// A dozen large files per GiB, the rest small, so that the whole is `total` bytes.
std::vector<Planned> plan(std::uint64_t total, std::mt19937_64& random) {
    const double scale = static_cast<double>(total) / static_cast<double>(1024 * MiB);
    const auto largeCount = static_cast<std::size_t>(std::max(1.0, std::round(12 * scale)));
    const auto fileCount = static_cast<std::size_t>(std::max(20.0, std::round(4664 * scale)));
    std::vector<Planned> files;
    std::uint64_t used = 0;
    for (std::size_t i = 0; i < largeCount; ++i) {
        const std::uint64_t size = (30 + random() % 31) * MiB;
        files.push_back({"Contents/Resources/Data", "pack" + std::to_string(i) + ".bin", size});
        used += size;
    }
    const std::uint64_t smallTotal = total > used ? total - used : total / 2;
    const std::size_t smallCount = fileCount - largeCount - 2;
    std::vector<double> weights(smallCount);
    double weightSum = 0;
    std::uniform_real_distribution<double> exponent(std::log(1024.0), std::log(1024.0 * 1024.0));
    for (auto& weight : weights) weightSum += weight = std::exp(exponent(random));  // log-uniform, 1 KiB to 1 MiB
    for (std::size_t i = 0; i < smallCount; ++i) {
        const auto size = static_cast<std::uint64_t>(weights[i] / weightSum * static_cast<double>(smallTotal));
        files.push_back({"Contents/Resources/d" + std::to_string(i % 40) + "/s" + std::to_string(i % 7),
                         "asset" + std::to_string(i) + (i % 2 ? ".bin" : ".json"), std::max<std::uint64_t>(size, 1)});
    }
    files.push_back({"Contents/MacOS", "Hexora", 2 * MiB});
    files.push_back({"Contents", "Info.plist", 2048});
    return files;
}

std::string lower(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

RealisticPackage makeRealisticPackage(const fs::path& zip, const fs::path& checksDir, const fs::path& work,
                                      const std::string& version, std::uint64_t mib, unsigned checkParts) {
    std::mt19937_64 random(2024);
    const fs::path stage = work / "stage";
    const fs::path app = stage / version / "Hexora.app";
    fs::remove_all(stage);
    SchemeFormat scheme{version, "bench", {}};
    std::vector<std::string> checks;
    RealisticPackage package{zip, checksDir, 0, 0};
    for (const Planned& file : plan(mib * MiB, random)) {
        const fs::path path = app / file.directory / file.name;
        fs::create_directories(path.parent_path());
        {
            std::ofstream out(path, std::ios::binary);
            if (file.name.ends_with(".json") || file.name == "Info.plist") writeTextLike(out, file.size, random);
            else if (file.name.starts_with("pack")) {
                writeTextLike(out, file.size / 2, random);  // large packs: half text, half incompressible
                writeIncompressible(out, file.size - file.size / 2, random);
            } else writeIncompressible(out, file.size, random);
        }
        if (file.name == "Hexora") ::chmod(path.c_str(), 0755);
        const std::string hash = *SHA1::sha1HexOfPath(path);
        scheme.files.push_back({file.name, "Hexora.app/" + file.directory, hash});
        checks.push_back(lower(hash) + "  " + file.directory + "/" + file.name + "\n");
        package.files += 1;
        package.bytes += file.size;
    }
    std::ofstream(stage / version / "scheme.json") << scheme.encode();
    fs::remove_all(checksDir);
    fs::create_directories(checksDir);
    std::ofstream(checksDir / "bytes") << package.bytes;
    for (unsigned part = 0; part < checkParts; ++part) {
        std::ofstream out(checksDir / ("part-" + std::to_string(part)));
        for (std::size_t i = part; i < checks.size(); i += checkParts) out << checks[i];
    }
    fs::create_directories(zip.parent_path());
    fs::remove(zip);
    const std::string command = "cd '" + stage.string() + "' && zip -q -r -6 '" + zip.string() + "' '" + version + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("zip failed");
    fs::remove_all(stage);
    return package;
}

RealisticPackage describeMadePackage(const fs::path& zip, const fs::path& checksDir) {
    RealisticPackage package{zip, checksDir, 0, 0};
    for (const auto& entry : fs::directory_iterator(checksDir)) {
        if (!entry.path().filename().string().starts_with("part-")) continue;
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) ++package.files;
    }
    std::ifstream(checksDir / "bytes") >> package.bytes;
    return package;
}

}  // namespace hexora::bench
