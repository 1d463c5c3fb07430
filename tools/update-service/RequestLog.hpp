#pragma once
// The update service's record of the requests its own domains received: one
// JSON object a line ("domain", "method", "path", "headers", "body"),
// appended and flushed before the reply goes out, so a test that sees the
// reply also sees the line.
//
// Thread: append() from any thread.
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

namespace hexora::tools {

class RequestLog {
public:
    explicit RequestLog(const std::filesystem::path& file);
    void append(const std::string& domain, const httplib::Request& request);

private:
    std::mutex mutex_;
    std::ofstream out_;
};

}  // namespace hexora::tools
