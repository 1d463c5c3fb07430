#include "services/file/SchemeFormat.hpp"

namespace hexora {
namespace {

using nlohmann::json;

std::optional<std::string> textAt(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

std::optional<SchemeFileInfo> fileInfoOf(const json& object) {
    if (!object.is_object()) return std::nullopt;
    auto file = textAt(object, "file");
    auto directory = textAt(object, "directory");
    auto hash = textAt(object, "hash");
    if (!file || !directory || !hash) return std::nullopt;
    return SchemeFileInfo{std::move(*file), std::move(*directory), std::move(*hash)};
}

}  // namespace

std::optional<SchemeFormat> SchemeFormat::decode(std::string_view bytes) {
    const json root = json::parse(bytes.begin(), bytes.end(), nullptr, /*allow_exceptions=*/false);
    if (!root.is_object()) return std::nullopt;
    auto version = textAt(root, "version");
    auto header = textAt(root, "header");
    const auto files = root.find("files");
    if (!version || !header || files == root.end() || !files->is_array()) return std::nullopt;

    SchemeFormat result{std::move(*version), std::move(*header), {}};
    result.files.reserve(files->size());
    for (const json& entry : *files) {
        auto info = fileInfoOf(entry);
        if (!info) return std::nullopt;
        result.files.push_back(std::move(*info));
    }
    return result;
}

nlohmann::ordered_json SchemeFormat::toJson() const {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SchemeFileInfo& info : files) {
        nlohmann::ordered_json entry;
        entry["file"] = info.file;
        entry["directory"] = info.directory;
        entry["hash"] = info.hash;
        list.push_back(std::move(entry));
    }
    nlohmann::ordered_json root;
    root["version"] = version;
    root["header"] = header;
    root["files"] = std::move(list);
    return root;
}

std::string SchemeFormat::encode() const {
    return toJson().dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace hexora
