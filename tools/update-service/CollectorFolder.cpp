#include "CollectorFolder.hpp"

#include <algorithm>
#include <fstream>

namespace hexora::tools {

std::vector<std::filesystem::path> CollectorFolder::batchFiles() const {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        const auto name = entry.path().filename().string();
        if (name.starts_with("batch-") && name.ends_with(".json")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<nlohmann::json> CollectorFolder::records(std::size_t skipBatches) const {
    std::vector<nlohmann::json> records;
    const auto files = batchFiles();
    for (std::size_t index = skipBatches; index < files.size(); ++index) {
        std::ifstream in(files[index]);
        const auto batch = nlohmann::json::parse(in, nullptr, false);
        if (!batch.is_object() || !batch.contains("Data") || !batch["Data"].is_array()) continue;
        for (const auto& record : batch["Data"]) records.push_back(record);
    }
    return records;
}

}  // namespace hexora::tools
