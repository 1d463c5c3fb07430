#include "services/rum/RumApi.hpp"

#include "platform/Clock.hpp"
#include "platform/Endpoints.hpp"
#include "services/http/HttpClient.hpp"
#include "services/internal/JSON.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/Response.hpp"
#include "services/rum/RumUploads.hpp"

#include <mutex>

namespace hexora::Rum::Api {
namespace {

struct Pending {
    /// Serialises every read and write of pendingRequest and streamName, so
    /// a take sees every hand-over made before it.
    std::mutex requestQueue;
    /// The pending batch: absent at start and after every take; while
    /// present it holds at least one record.
    std::optional<Request> pendingRequest;
    std::string streamName;
};
// Never destroyed: records may be appended from any thread until the very end.
Pending& pending() {
    static Pending* const instance = new Pending;
    return *instance;
}

std::string headerLines(const Http::Headers& headers) {
    std::string lines;
    for (const auto& header : headers) {
        if (!lines.empty()) lines += "\n";
        lines += header.name + ": " + header.value;
    }
    return lines;
}

// The collector's reply decoded; any JSON body decodes, anything else gives nullopt.
std::optional<Response> decodeReply(const std::string& body) {
    const nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    if (parsed.is_discarded()) return std::nullopt;
    return Response(parsed);
}

// True when the whole reply came with a 2xx status and a JSON body. Otherwise
// `errorText` describes what went wrong, or stays empty when only the status
// was wrong.
bool succeeded(const Http::Result& result, std::string& errorText) {
    if (!result.completed()) {
        errorText = result.error.empty() ? "the request failed" : result.error;
        return false;
    }
    if (result.body.empty()) {
        errorText = "the response body is empty";
        return false;
    }
    if (!decodeReply(result.body)) {
        errorText = "the response body is not JSON";
        return false;
    }
    return result.status >= 200 && result.status <= 299;
}

// The error line of a failed upload: the error text and a line break (when
// there is an error), the URL, an empty line, the request body, the status
// (0 without a reply), the reply headers one per line and the reply body.
std::string failureLine(const char* operation, const std::string& errorText, const std::string& url,
                        const std::string& requestBody, const Http::Result& result) {
    std::string line = std::string(operation) + ": ";
    if (!errorText.empty()) line += errorText + "\n";
    line += url + "\n";
    line += "\n";
    line += requestBody + "\n";
    line += std::to_string(result.status) + "\n";
    line += headerLines(result.headers) + "\n";
    line += result.body;
    return line;
}

// Sends `batch` and judges the outcome; runs on the upload's own thread.
void upload(const Request& batch, const std::string& apiKey, const char* operation, Upload& state) {
    const std::string url = platform::Endpoints::rumUrl() + streamName();
    const std::optional<std::string> body = batch.encodedText();
    Http::Result result;
    if (body) {
        Http::Options options;
        options.timeoutSec = uploadTimeoutSec.load();
        options.headers = RumUploads::collectorHeaders(apiKey);
        options.shouldAbort = [&state] { return state.abort.load(); };
        result = Http::put(url, *body, options);
    } else {
        result.failure = Http::Failure::Transport;
        result.error = "the batch could not be encoded as JSON";
    }
    state.finished = true;

    std::string errorText;
    if (!succeeded(result, errorText)) Log::error(failureLine(operation, errorText, url, body.value_or(""), result));
    state.done = true;
}

std::shared_ptr<Upload> startUpload(const Request& batch, const std::string& apiKey, const char* operation) {
    auto started =
        RumUploads::start([batch, apiKey, operation](Upload& state) { upload(batch, apiKey, operation, state); });
    // A batch the ending process no longer sends is reported like a failed one.
    if (started->refused) {
        Log::error(failureLine(operation, "the process is ending", platform::Endpoints::rumUrl() + streamName(),
                               batch.encodedText().value_or(""), Http::Result{}));
    }
    return started;
}

// Waits, within one set of bounded polls, until every upload in `uploads`
// has finished and been judged, or until `giveUp` says so. Past the waits a
// batch is given up: its transfer is stopped instead of being left to run on
// its own.
void waitFor(const std::vector<std::shared_ptr<Upload>>& uploads, const std::function<bool()>& giveUp = {}) {
    const auto all = [&uploads](auto member) {
        for (const auto& upload : uploads)
            if (!((*upload).*member).load()) return false;
        return true;
    };
    const auto waitingOn = [&](auto member) { return !all(member) && !(giveUp && giveUp()); };
    for (int poll = 0; poll < SyncRequestPolls && waitingOn(&Upload::finished); ++poll) platform::sleepSeconds(SyncPollSec);
    for (int poll = 0; poll < SyncOutcomePolls && waitingOn(&Upload::done); ++poll) platform::sleepSeconds(SyncPollSec);
    for (const auto& upload : uploads)
        if (!upload->done) upload->abort = true;
}

// Takes the pending batch and leaves none pending; nullopt when nothing is pending.
std::optional<Request> takeBatch() {
    std::lock_guard lock(pending().requestQueue);
    std::optional<Request> taken;
    taken.swap(pending().pendingRequest);
    return taken;
}
}  // namespace

nlohmann::ordered_json Request::encode() const {
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    for (const auto& record : Data) records.push_back(record.encode());
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["Data"] = std::move(records);
    return json;
}

std::optional<std::string> Request::encodedText() const {
    try {
        return encode().dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void Request::putRum(const std::string& apiKey) const { startUpload(*this, apiKey, "Rum.Api.Request.putRum"); }

void Request::putRumSync(const std::string& apiKey) const {
    waitFor({startUpload(*this, apiKey, "Rum.Api.Request.putRumSync")});
}

std::string streamName() {
    std::lock_guard lock(pending().requestQueue);
    return pending().streamName;
}

void setStreamName(std::string name) {
    std::lock_guard lock(pending().requestQueue);
    pending().streamName = std::move(name);
}

void enqueue(LogData record) {
    std::lock_guard lock(pending().requestQueue);
    auto& batch = pending().pendingRequest;
    if (!batch) batch.emplace();
    batch->Data.push_back(std::move(record));
}

void flushAsync() {
    if (const auto batch = takeBatch()) batch->putRum(TelemetryApiKey);
}

void flushSync(const std::function<bool()>& giveUp) {
    if (const auto batch = takeBatch()) startUpload(*batch, TelemetryApiKey, "Rum.Api.Request.putRumSync");
    // Uploads that an earlier flushAsync started are waited for too: the
    // sync flush comes last before the process ends, which would abort them.
    waitFor(RumUploads::inFlight(), giveUp);
}

std::vector<LogData> pendingRecords() {
    std::lock_guard lock(pending().requestQueue);
    const auto& batch = pending().pendingRequest;
    return batch ? batch->Data : std::vector<LogData>{};
}

std::vector<LogData> takePendingRecords() {
    std::optional<Request> taken = takeBatch();
    return taken ? std::move(taken->Data) : std::vector<LogData>{};
}

}  // namespace hexora::Rum::Api
