#include "e2e/Collector.hpp"

#include "CollectorFolder.hpp"

#include <algorithm>

namespace hexora::e2e {
namespace {

std::string text(const Record& record, const char* key) {
    return record.contains(key) && record[key].is_string() ? record[key].get<std::string>() : "";
}

}  // namespace

std::vector<Record> collectedRecords(const std::filesystem::path& folder, std::size_t skipBatches) {
    return tools::CollectorFolder(folder).records(skipBatches);
}

std::size_t collectedBatches(const std::filesystem::path& folder) {
    return tools::CollectorFolder(folder).batchFiles().size();
}

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
