#include "app/CommandLine.hpp"

#include <QUrl>

namespace hexora::app {
namespace {
bool isDecimal(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool isAbsoluteUrl(const std::string& text) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !url.isRelative();
}
}  // namespace

std::vector<std::string> openedUrls(const std::vector<std::string>& arguments) {
    std::vector<std::string> urls;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const auto& argument = arguments[i];
        if (isDecimal(argument) || !isAbsoluteUrl(argument)) continue;
        urls.push_back(argument);
    }
    return urls;
}

}  // namespace hexora::app
