#pragma once
// Collects the launcher's log lines while it lives (see Log::addSink).
#include <memory>
#include <string>
#include <vector>

namespace hexora::test {

struct LogLine {
    std::string level;  // "info", "warning" or "error"
    std::string text;
};

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> lines() const;
    /// True when some line contains `fragment`.
    bool contains(const std::string& fragment) const;

private:
    struct Sink;
    std::shared_ptr<Sink> sink_;
};

}  // namespace hexora::test
