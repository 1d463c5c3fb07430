#include "UpdateService.hpp"

#include "CollectorStore.hpp"
#include "ConfAnswers.hpp"
#include "HttpsDomain.hpp"
#include "NginxFileServer.hpp"
#include "ReplyInPieces.hpp"
#include "RequestLog.hpp"
#include "ServiceCertificates.hpp"

#include <chrono>
#include <fstream>

namespace hexora::tools {
namespace {
constexpr int DomainCount = 2;
// How long an API reply takes in the "trickle" mode when its file names no time.
constexpr std::chrono::milliseconds TrickleTime{8000};
// The gap between two bytes in the "drip" mode.
constexpr std::chrono::milliseconds DripInterval{1000};

// The milliseconds a "trickle" switch file holds; TrickleTime when it holds none.
std::chrono::milliseconds trickleTime(const std::filesystem::path& modeFile) {
    long long milliseconds = 0;
    std::ifstream(modeFile) >> milliseconds;
    return milliseconds > 0 ? std::chrono::milliseconds(milliseconds) : TrickleTime;
}

std::string joined(const std::vector<std::string>& urls) {
    std::string text;
    for (const auto& url : urls) text += (text.empty() ? "" : ",") + url;
    return text;
}
}  // namespace

UpdateService::UpdateService(const ServiceLayout& layout) : layout_(layout) {
    std::filesystem::create_directories(layout_.dir);
    std::filesystem::remove(layout_.envFile());
    std::filesystem::create_directories(layout_.logs());
    std::filesystem::create_directories(layout_.modes());
    std::filesystem::create_directories(layout_.files);
    certificates_ = std::make_unique<ServiceCertificates>(layout_.certificates());
    requestLog_ = std::make_unique<RequestLog>(layout_.requestLog());
    answers_ = std::make_unique<ConfAnswers>(layout_.confFile());
    collector_ = std::make_unique<CollectorStore>(layout_.collector());
    for (int index = 0; index < DomainCount; ++index) {
        const auto name = "api-" + std::to_string(index);
        apis_.push_back(std::make_unique<HttpsDomain>(
            name, layout_, certificates_->certFile(), certificates_->keyFile(),
            [this, name](const httplib::Request& request, httplib::Response& response) {
                requestLog_->append(name, request);
                answers_->answer(request, response);
                std::error_code ignored;
                const auto trickle = layout_.modeFile(name, "trickle");
                if (std::filesystem::exists(trickle, ignored)) sendInPieces(response, trickleTime(trickle));
                if (std::filesystem::exists(layout_.modeFile(name, "drip"), ignored))
                    sendDripping(response, DripInterval);
            }));
    }
    collectorDomain_ = std::make_unique<HttpsDomain>(
        "collector", layout_, certificates_->certFile(), certificates_->keyFile(),
        [this](const httplib::Request& request, httplib::Response& response) {
            requestLog_->append("collector", request);
            collector_->store(request, response);
        });
    files_ = std::make_unique<NginxFileServer>(layout_, certificates_->certFile(), certificates_->keyFile(), DomainCount);
    writeEnvFile();
}

UpdateService::~UpdateService() { stop(); }

std::vector<std::string> UpdateService::apiUrls() const {
    std::vector<std::string> urls;
    for (const auto& api : apis_) urls.push_back(api->url());
    return urls;
}

std::vector<std::string> UpdateService::fileUrls() const { return files_->urls(); }

std::string UpdateService::rumUrl() const { return collectorDomain_->url() + "/"; }

std::filesystem::path UpdateService::caFile() const { return certificates_->caFile(); }

std::vector<std::pair<std::string, std::string>> UpdateService::environment() const {
    return {{"HEXORA_API_URLS", joined(apiUrls())},
            {"HEXORA_FILE_URLS", joined(fileUrls())},
            {"HEXORA_RUM_URL", rumUrl()},
            {"HEXORA_CA_FILE", caFile().string()}};
}

void UpdateService::setMode(const std::string& domain, const std::string& mode, bool on, const std::string& value) const {
    const auto file = layout_.modeFile(domain, mode);
    if (on) {
        std::ofstream{file} << value;
    } else {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
}

void UpdateService::writeEnvFile() const {
    const auto temporary = layout_.envFile().string() + ".part";
    {
        std::ofstream out(temporary);
        for (const auto& [name, value] : environment()) out << name << "=" << value << "\n";
        out << "HEXORA_SERVICE_FILES=" << layout_.files.string() << "\n";
        out << "HEXORA_SERVICE_CONF=" << layout_.confFile().string() << "\n";
        out << "HEXORA_SERVICE_COLLECTOR=" << layout_.collector().string() << "\n";
        out << "HEXORA_SERVICE_MODES=" << layout_.modes().string() << "\n";
    }
    std::filesystem::rename(temporary, layout_.envFile());
}

void UpdateService::stop() {
    if (files_) files_->stop();
    for (auto& api : apis_) api->stop();
    if (collectorDomain_) collectorDomain_->stop();
}

}  // namespace hexora::tools
