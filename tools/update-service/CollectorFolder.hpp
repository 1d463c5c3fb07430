#pragma once
// Reads what the collector kept (see CollectorStore): the batch files of its
// folder in arrival order, and the telemetry records in them.
//
// Thread: any; each call reads the folder afresh.
// Failure: a missing or unreadable folder reads as empty; a batch that is not
// a JSON object with a "Data" array is passed over.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <filesystem>
#include <vector>

namespace hexora::tools {

class CollectorFolder {
public:
    explicit CollectorFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    /// batch-000001.json and on, in arrival order.
    std::vector<std::filesystem::path> batchFiles() const;
    /// Every record of every batch, in order, leaving out the first `skipBatches` batches.
    std::vector<nlohmann::json> records(std::size_t skipBatches = 0) const;

private:
    std::filesystem::path folder_;
};

}  // namespace hexora::tools
