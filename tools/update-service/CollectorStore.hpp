#pragma once
// The telemetry collector of the update service: every PUT to
// "/<stream>" is kept as one file, collector/batch-000001.json and on, the
// request body as received, written to a temporary name and renamed, so a
// reader never sees half a batch. The reply is 200 with "{}". Other paths
// and methods get 404.
//
// Thread: store() from any thread.
#include <httplib.h>

#include <filesystem>
#include <mutex>
#include <string>

namespace hexora::tools {

class CollectorStore {
public:
    static constexpr const char* StreamName = "hexora-rum-kinesis-prod";

    explicit CollectorStore(std::filesystem::path folder);
    void store(const httplib::Request& request, httplib::Response& response);

private:
    std::filesystem::path folder_;
    std::mutex mutex_;
    int count_ = 0;
};

}  // namespace hexora::tools
