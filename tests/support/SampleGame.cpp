#include "support/SampleGame.hpp"

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace hexora::test {

std::filesystem::path sampleGameBundle() {
    return std::filesystem::path(HEXORA_TOOLS_BIN_DIR) / "sample-game" / "Hexora.app";
}

namespace {

void writeVersion(const std::filesystem::path& plistPath, const std::string& version) {
    std::ifstream in(plistPath, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    if (!root) throw std::runtime_error("unreadable " + plistPath.string());
    for (const char* key : {"CFBundleShortVersionString", "CFBundleVersion"}) {
        plist_dict_set_item(root, key, plist_new_string(version.c_str()));
    }
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    std::ofstream(plistPath, std::ios::binary | std::ios::trunc).write(xml, length);
    std::free(xml);
    plist_free(root);
}

}  // namespace

std::filesystem::path layOutSampleGame(const std::filesystem::path& storage, const std::optional<std::string>& version) {
    const auto bundle = storage / "Hexora.app";
    std::filesystem::create_directories(storage);
    std::filesystem::remove_all(bundle);
    std::filesystem::copy(sampleGameBundle(), bundle, std::filesystem::copy_options::recursive);
    if (version) writeVersion(bundle / "Contents" / "Info.plist", *version);
    return bundle / "Contents" / "MacOS" / "Hexora";
}

}  // namespace hexora::test
