#include "services/api/ApiRequest.hpp"

#include "services/api/ReplyText.hpp"
#include "services/http/HttpClient.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"

namespace hexora {

ApiRequest::ApiRequest(const nlohmann::json& json) : platform(json.at("platform").get<int>()) {}

nlohmann::ordered_json ApiRequest::encode() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["platform"] = platform;
    return json;
}

// Our encoder never escapes "/" as "\/", so the JSON form is the dictionary as it is.
nlohmann::ordered_json ApiRequest::toDictionary() const { return encode(); }

bool ApiRequest::rejectBlankUrl(const std::string& url) {
    if (!ReplyText::trimmed(url).empty()) return false;
    Log::error("ApiRequest.post: url is empty");
    Rum::LogData("ApiRequest.post", "url is empty", "Failed", "ERROR").append();
    return true;
}

bool ApiRequest::send(const std::string& url, double timeoutSec, const Decoder& decode,
                      const std::function<bool()>& shouldAbort) const {
    const std::string fullUrl = url + getPath();
    // A text member that is not UTF-8 (a version read from a damaged
    // Info.plist) is written with U+FFFD in its place: the post never throws.
    const std::string body = toDictionary().dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    Http::Options options;
    options.timeoutSec = timeoutSec;
    options.maxDurationTimeouts = Http::WholeReplyTimeouts;
    options.headers = {{"Content-Type", "application/json"}};
    options.shouldAbort = shouldAbort;
    Log::info("POST " + fullUrl + " " + body);
    const Http::Result reply = Http::post(fullUrl, body, options);
    // A request stopped (the run was cancelled) ends without a record.
    if (reply.failure == Http::Failure::Aborted) {
        Log::info("POST " + fullUrl + ": cancelled");
        return false;
    }

    std::string libraryError = reply.error;
    std::optional<std::string> rawData;
    bool decoded = false;
    if (reply.completed()) {
        if (reply.body.empty()) {
            libraryError = "The reply has no body to decode";
        } else {
            try {
                rawData = decode(reply.body);
                decoded = true;
            } catch (const std::exception& error) {
                libraryError = std::string("The reply could not be decoded: ") + error.what();
            }
        }
    }
    if (!libraryError.empty()) Log::error("POST " + fullUrl + ": " + libraryError);

    const bool othersHold = libraryError.empty() && !reply.body.empty() && decoded && reply.status != 0;
    if (othersHold && reply.status >= 200 && reply.status <= 299) {
        Rum::LogData record("POST", getApiId(), "Succeeded", "INFO");
        record.addData("Uri", fullUrl);
        record.aType = "Response";
        record.RawData = rawData;
        record.append();
        return true;
    }
    const long errorCode = othersHold ? reply.status : 0;
    const std::string description = libraryError.empty() ? "unknown" : libraryError;
    Log::error("POST " + fullUrl + " failed: " + std::to_string(errorCode) + " " + description);
    Rum::LogData record("POST", getApiId(), "Failed", "ERROR");
    record.addData("Uri", fullUrl);
    record.addData("ErrorCode", std::to_string(errorCode));
    record.addData("ErrorDescription", description);
    if (!reply.body.empty()) record.addData("ResponseBody", ReplyText::lossyUtf8(reply.body));
    record.append();
    return false;
}

}  // namespace hexora
