#include "app/ShellTrace.hpp"

#include "platform/Endpoints.hpp"
#include "services/internal/Log.hpp"

#include <spdlog/sinks/stdout_sinks.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace hexora::app::ShellTrace {
namespace {
std::atomic<bool> on{false};

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}
}  // namespace

void enable() {
    if (on.load() || !platform::Endpoints::overridesEnabled()) return;
    const char* value = std::getenv("HEXORA_SHELL_TRACE");
    if (!value || std::strcmp(value, "1") != 0) return;
    auto sink = std::make_shared<spdlog::sinks::stderr_sink_mt>();
    sink->set_pattern("%v");
    Log::addSink(std::move(sink));
    on.store(true);
}

bool isOn() { return on.load(); }

void shownMessage(const std::string& text) {
    if (on.load()) Log::info("ViewController.setMessage: " + escaped(text));
}

}  // namespace hexora::app::ShellTrace
