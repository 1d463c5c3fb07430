#include "package/PackageBuilder.hpp"

#include "package/BundleEntry.hpp"
#include "package/PackageZip.hpp"
#include "services/file/SchemeFormat.hpp"

#include <zlib.h>

#include <fstream>
#include <stdexcept>

namespace hexora::tools {
namespace fs = std::filesystem;

namespace {

constexpr const char* BundleName = "Hexora.app";

void checkName(const std::string& what, const std::string& value) {
    if (value.empty() || value == "." || value == ".." || value.find('/') != std::string::npos)
        throw std::runtime_error("invalid " + what + ": \"" + value + "\"");
}

SchemeFormat schemeOf(const std::vector<BundleEntry>& entries, const std::string& version, const std::string& name) {
    SchemeFormat scheme{version, name, {}};
    for (const auto& entry : entries) {
        if (!entry.hash) continue;
        const std::string folder = entry.relative.parent_path().generic_string();
        scheme.files.push_back({entry.relative.filename().string(), std::string(BundleName) + "/" + folder, *entry.hash});
    }
    return scheme;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::string gzipCompress(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
    return out;
}

Package buildPackage(const PackageOptions& options) {
    const std::string name = options.name.empty() ? options.version : options.name;
    checkName("hash", options.hash);
    checkName("name", name);
    if (options.version.empty()) throw std::runtime_error("the version is empty");

    const auto entries = listBundle(options.bundle);
    const std::vector<BundleEntry> base = options.smartBase ? listBundle(*options.smartBase) : std::vector<BundleEntry>{};
    const std::string schemeText = schemeOf(entries, options.version, name).encode();

    const fs::path folder = options.out / "update" / options.hash;
    fs::create_directories(folder);
    Package package{folder / "scheme.json", folder / "scheme.json.gz", folder / (name + ".zip"), {}};
    writeFile(package.scheme, schemeText);
    writeFile(package.schemeArchive, gzipCompress(schemeText));

    PackageZip zip(package.zip);
    const std::string top = name + "/";
    const std::string bundleTop = top + BundleName + "/";
    zip.addFolder(name, 0755);
    zip.addText(top + "scheme.json", schemeText, 0644);
    zip.addFolder(top + BundleName, 0755);
    for (const auto& entry : entries) {
        const std::string entryName = bundleTop + entry.relative.generic_string();
        if (entry.kind == BundleEntry::Kind::Folder) {
            if (!options.smartBase) zip.addFolder(entryName, entry.permissions);
            continue;
        }
        if (options.smartBase && isUnchanged(entry, base)) continue;
        if (entry.kind == BundleEntry::Kind::Link) zip.addLink(entryName, entry.linkTarget);
        else zip.addFile(entryName, entry.absolute, entry.permissions);
        package.packed.push_back(entry.relative.generic_string());
    }
    zip.close();
    return package;
}

}  // namespace hexora::tools
