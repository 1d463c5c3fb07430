#include "ConfAnswers.hpp"

#include <nlohmann/json.hpp>

#include <fstream>

namespace hexora::tools {

void ConfAnswers::answer(const httplib::Request& request, httplib::Response& response) const {
    if (request.method != "POST" || request.path != "/conf") {
        response.status = 404;
        response.set_content("not found", "text/plain");
        return;
    }
    const auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("platform") || !body["platform"].is_number_integer()) {
        response.status = 400;
        response.set_content("bad request", "text/plain");
        return;
    }
    std::ifstream in(file_);
    const auto answers = nlohmann::ordered_json::parse(in, nullptr, false);
    const auto platform = std::to_string(body["platform"].get<long long>());
    if (!answers.is_object() || !answers.contains(platform)) {
        response.status = 404;
        response.set_content("no answer for platform " + platform, "text/plain");
        return;
    }
    response.status = 200;
    response.set_content(answers[platform].dump(), "application/json");
}

}  // namespace hexora::tools
