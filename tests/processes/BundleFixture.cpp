#include "BundleFixture.hpp"

#include <plist/plist.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace hexora::test {

void writePlist(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& entries,
                bool binary) {
    plist_t dict = plist_new_dict();
    for (const auto& [key, value] : entries) plist_dict_set_item(dict, key.c_str(), plist_new_string(value.c_str()));
    char* data = nullptr;
    std::uint32_t length = 0;
    if (binary) {
        plist_to_bin(dict, &data, &length);
    } else {
        plist_to_xml(dict, &data, &length);
    }
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(data, length);
    std::free(data);
    plist_free(dict);
}

std::filesystem::path layOutBundle(const std::filesystem::path& folder, const std::string& name,
                                   const std::string& bundleIdentifier, const std::filesystem::path& program) {
    const auto contents = folder / (name + ".app") / "Contents";
    std::filesystem::create_directories(contents / "MacOS");
    const auto executable = contents / "MacOS" / name;
    std::filesystem::copy_file(program, executable, std::filesystem::copy_options::overwrite_existing);
    std::vector<std::pair<std::string, std::string>> entries{{"CFBundleExecutable", name}};
    if (!bundleIdentifier.empty()) entries.emplace_back("CFBundleIdentifier", bundleIdentifier);
    writePlist(contents / "Info.plist", entries);
    return executable;
}

}  // namespace hexora::test
