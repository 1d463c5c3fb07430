#include "e2e/Collector.hpp"

#include <algorithm>
#include <fstream>

namespace hexora::e2e {
namespace {

std::vector<std::filesystem::path> batchFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto name = entry.path().filename().string();
        if (name.starts_with("batch-") && name.ends_with(".json")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string text(const Record& record, const char* key) {
    return record.contains(key) && record[key].is_string() ? record[key].get<std::string>() : "";
}

}  // namespace

std::vector<Record> collectedRecords(const std::filesystem::path& folder, std::size_t skipBatches) {
    std::vector<Record> records;
    const auto files = batchFiles(folder);
    for (std::size_t index = skipBatches; index < files.size(); ++index) {
        const auto& file = files[index];
        std::ifstream in(file);
        const auto batch = nlohmann::json::parse(in, nullptr, false);
        if (!batch.is_object() || !batch.contains("Data") || !batch["Data"].is_array()) continue;
        for (const auto& record : batch["Data"]) records.push_back(record);
    }
    return records;
}

std::size_t collectedBatches(const std::filesystem::path& folder) { return batchFiles(folder).size(); }

bool matches(const Record& record, const std::string& minorType, const std::string& event,
             const std::string& eventState) {
    return text(record, "MinorType") == minorType && text(record, "Event") == event &&
           (eventState.empty() || text(record, "EventState") == eventState);
}

bool hasRecord(const std::vector<Record>& records, const std::string& minorType, const std::string& event,
               const std::string& eventState) {
    return std::any_of(records.begin(), records.end(),
                       [&](const Record& record) { return matches(record, minorType, event, eventState); });
}

bool hasMinorType(const std::vector<Record>& records, const std::string& minorType) {
    return std::any_of(records.begin(), records.end(),
                       [&](const Record& record) { return text(record, "MinorType") == minorType; });
}

std::vector<std::string> foreignUris(const std::vector<Record>& records) {
    std::vector<std::string> foreign;
    for (const auto& record : records) {
        if (!record.contains("Data") || !record["Data"].is_object()) continue;
        const auto uri = text(record["Data"], "Uri");
        if (!uri.empty() && !uri.starts_with("https://127.0.0.1:")) foreign.push_back(uri);
    }
    return foreign;
}

std::string describeRoad(const std::vector<Record>& records) {
    std::string road;
    for (const auto& record : records) {
        road += text(record, "TimeStamp") + "  " + text(record, "MinorType") + "  " + text(record, "Event") + "  " +
                text(record, "EventState") + "\n";
    }
    return road;
}

}  // namespace hexora::e2e
