#include "RequestLog.hpp"

#include <nlohmann/json.hpp>

namespace hexora::tools {

RequestLog::RequestLog(const std::filesystem::path& file) : out_(file, std::ios::app) {}

void RequestLog::append(const std::string& domain, const httplib::Request& request) {
    nlohmann::ordered_json headers = nlohmann::ordered_json::object();
    for (const auto& [name, value] : request.headers) {
        if (name == "x-api-key" || name == "Content-Type" || name == "User-Agent") headers[name] = value;
    }
    nlohmann::ordered_json line = {{"domain", domain}, {"method", request.method}, {"path", request.path},
                                   {"headers", headers}, {"body", request.body}};
    std::lock_guard lock(mutex_);
    out_ << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    out_.flush();
}

}  // namespace hexora::tools
