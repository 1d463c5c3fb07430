#include "app/CommandLine.hpp"

#include "services/internal/Log.hpp"
#include "services/internal/UrlScheme.hpp"

namespace hexora::app {
namespace {
bool isDecimal(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}
}  // namespace

std::vector<std::string> openedUrls(const std::vector<std::string>& arguments) {
    std::vector<std::string> urls;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const auto& argument = arguments[i];
        if (isDecimal(argument)) {
            Log::info("CommandLine: " + argument + " is the old launcher's process id, not read");
        } else if (!urlScheme(argument)) {
            Log::warning("CommandLine: \"" + argument + "\" is no URL (no scheme and \":\"), not opened");
        } else {
            urls.push_back(argument);
        }
    }
    return urls;
}

}  // namespace hexora::app
