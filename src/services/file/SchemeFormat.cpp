#include "services/file/SchemeFormat.hpp"

#include "services/file/SchemeReader.hpp"

namespace hexora {

std::optional<SchemeFormat> SchemeFormat::decode(std::string_view bytes) { return SchemeReader::read(bytes); }

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
