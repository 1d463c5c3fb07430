#include "services/internal/Log.hpp"

#include <spdlog/sinks/dist_sink.h>
#include <spdlog/spdlog.h>

namespace hexora::Log {
namespace {
// The logger writes into one distributing sink, which may gain and lose
// sinks while other threads log. Both are never destroyed, so that threads
// still running while the process exits (an upload ending) can log safely.
std::shared_ptr<spdlog::sinks::dist_sink_mt>& distribution() {
    static auto* const sink = new std::shared_ptr<spdlog::sinks::dist_sink_mt>(
        std::make_shared<spdlog::sinks::dist_sink_mt>());
    return *sink;
}

spdlog::logger& logger() {
    static spdlog::logger* const instance = [] {
        auto* created = new spdlog::logger("hexora", distribution());
        created->set_level(spdlog::level::info);
        return created;
    }();
    return *instance;
}
}  // namespace

void info(const std::string& text) { logger().info("{}", text); }
void warning(const std::string& text) { logger().warn("{}", text); }
void error(const std::string& text) { logger().error("{}", text); }

void addSink(std::shared_ptr<spdlog::sinks::sink> sink) { distribution()->add_sink(std::move(sink)); }

void removeSink(const std::shared_ptr<spdlog::sinks::sink>& sink) { distribution()->remove_sink(sink); }

}  // namespace hexora::Log
