#include "platform/InfoPlist.hpp"

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace hexora::platform::InfoPlist {
namespace {
// Info.plist files are a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t MaxSize = 4 * 1024 * 1024;
}

std::optional<std::string> readString(const std::filesystem::path& path, const std::string& key) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size == 0 || size > MaxSize) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.empty()) return std::nullopt;

    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    if (!root) return std::nullopt;
    std::unique_ptr<void, void (*)(plist_t)> owner(root, plist_free);
    if (plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
    plist_t item = plist_dict_get_item(root, key.c_str());
    if (!item || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
    char* value = nullptr;
    plist_get_string_val(item, &value);
    if (!value) return std::nullopt;
    std::string text(value);
    std::free(value);
    return text;
}

}  // namespace hexora::platform::InfoPlist
