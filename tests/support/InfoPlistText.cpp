#include "support/InfoPlistText.hpp"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>

namespace hexora::test {

std::string infoPlistXml(const PlistEntries& entries) {
    plist_t dict = plist_new_dict();
    for (const auto& [key, value] : entries) plist_dict_set_item(dict, key.c_str(), plist_new_string(value.c_str()));
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(dict, &xml, &length);
    std::string text(xml, length);
    std::free(xml);
    plist_free(dict);
    return text;
}

std::string bundleInfoPlist(const std::string& bundleIdentifier, const std::string& version) {
    return infoPlistXml({{"CFBundleIdentifier", bundleIdentifier},
                         {"CFBundleShortVersionString", version},
                         {"CFBundleVersion", version}});
}

}  // namespace hexora::test
