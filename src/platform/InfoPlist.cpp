#include "platform/InfoPlist.hpp"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace hexora::platform {
namespace {

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

std::optional<std::string> textOf(plist_t node) {
    if (plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (text == nullptr) return std::string();
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace

std::filesystem::path InfoPlist::pathIn(const std::filesystem::path& bundle) {
    return bundle / "Contents" / "Info.plist";
}

std::optional<InfoPlist> InfoPlist::readOfBundle(const std::filesystem::path& bundle) { return read(pathIn(bundle)); }

std::optional<InfoPlist> InfoPlist::read(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > MaxFileSize) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return parse(bytes);
}

std::optional<InfoPlist> InfoPlist::parse(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > MaxFileSize) return std::nullopt;
    plist_t raw = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
    const PlistPtr root(raw);
    if (!root || plist_get_node_type(raw) != PLIST_DICT) return std::nullopt;

    InfoPlist result;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(raw, &iterator);
    if (iterator == nullptr) return result;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(raw, iterator, &key, &value);
        if (key == nullptr) break;
        result.values_.emplace(key, textOf(value));
        std::free(key);
    }
    std::free(iterator);
    return result;
}

std::optional<std::string> InfoPlist::readString(const std::filesystem::path& path, const std::string& key) {
    const auto plist = read(path);
    return plist ? plist->text(key) : std::nullopt;
}

bool InfoPlist::contains(const std::string& key) const { return values_.count(key) != 0; }

std::optional<std::string> InfoPlist::text(const std::string& key) const {
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

}  // namespace hexora::platform
