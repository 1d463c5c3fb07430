#pragma once
// The launcher's log: three levels (info, warning, error) on one spdlog logger
// named "hexora" that has no sink, so in production the lines go nowhere (the
// record that survives a run is the telemetry stream). Tests and tools attach
// a sink with Log::addSink to read the lines.
//
// Thread: any thread may log; lines are passed whole to the sinks.
#include <memory>
#include <string>

namespace spdlog::sinks { class sink; }

namespace hexora::Log {

void info(const std::string& text);
void warning(const std::string& text);
void error(const std::string& text);

/// Attaches a sink (any thread, also while others log) to the launcher's logger (e.g. a test capture or stderr).
void addSink(std::shared_ptr<spdlog::sinks::sink> sink);
/// Detaches a sink added before.
void removeSink(const std::shared_ptr<spdlog::sinks::sink>& sink);

}  // namespace hexora::Log
