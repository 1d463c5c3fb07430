#include "support/LogCapture.hpp"

#include "services/internal/Log.hpp"

#include <spdlog/sinks/base_sink.h>

#include <mutex>

namespace hexora::test {

struct LogCapture::Sink final : spdlog::sinks::base_sink<std::mutex> {
    std::vector<LogLine> lines;

    std::vector<LogLine> copy() {
        std::lock_guard lock(mutex_);
        return lines;
    }

protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        const auto level = message.level == spdlog::level::warn ? "warning"
                           : message.level == spdlog::level::err ? "error"
                                                                 : "info";
        lines.push_back({level, std::string(message.payload.data(), message.payload.size())});
    }
    void flush_() override {}
};

LogCapture::LogCapture() : sink_(std::make_shared<Sink>()) { Log::addSink(sink_); }

LogCapture::~LogCapture() { Log::removeSink(sink_); }

std::vector<LogLine> LogCapture::lines() const { return sink_->copy(); }

bool LogCapture::contains(const std::string& fragment) const {
    for (const auto& line : lines())
        if (line.text.find(fragment) != std::string::npos) return true;
    return false;
}

}  // namespace hexora::test
