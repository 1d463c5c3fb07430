#pragma once
// The base of the update API's request records and the post that sends one.
//
// A post sends the record's JSON form to a base URL followed by getPath()
// and decodes the reply as a given ApiResponse type. It succeeds when the
// whole reply came in with a body that decodes and a status from 200 to
// 299. Every outcome but a blank URL's and a cancelled request's is
// reported as a telemetry record (MinorType "POST", Event getApiId());
// failures but the cancelled one are also logged at error level.
//
// Thread: a worker thread, never the application's main thread; a post
// blocks until it has an answer. Nothing here throws: a text member that is
// not UTF-8 is sent (and logged) with U+FFFD in place of each ill-formed
// sequence. The record is not changed by posting and may be posted again.
#include "services/api/ApiResult.hpp"
#include "services/internal/GameProduct.hpp"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>

namespace hexora {

class ApiRequest {
public:
    /// The game's (GameProduct::UpdatePlatform) unless the builder sets another platform.
    int platform = GameProduct::UpdatePlatform;

    ApiRequest() = default;
    /// Decodes a record: the required member "platform".
    /// Throws nlohmann::json::exception when it is missing or no integer.
    explicit ApiRequest(const nlohmann::json& json);
    virtual ~ApiRequest() = default;
    ApiRequest(const ApiRequest&) = default;
    ApiRequest& operator=(const ApiRequest&) = default;

    int getPlatform() const { return platform; }
    void setPlatform(int value) { platform = value; }

    /// Appended to the base URL as plain text ("" here).
    virtual std::string getPath() const { return ""; }
    /// The request's number as shown in telemetry ("" here).
    virtual std::string getApiId() const { return ""; }
    /// The record's JSON form: here the member "platform".
    virtual nlohmann::ordered_json encode() const;

    /// The JSON form as a dictionary, for log lines.
    nlohmann::ordered_json toDictionary() const;

    /// Posts the record to `url` + getPath() with an idle timeout of
    /// `timeoutSec`, the whole post bounded by Http::WholeReplyTimeouts of it
    /// (a timeout failure). Empties `response` first; it
    /// holds the decoded reply exactly when the result is true. A blank
    /// `url` sends nothing and queues the "ApiRequest.post" "url is empty" record.
    /// `shouldAbort` (may be empty) is polled while the request runs: once it
    /// returns true the transfer is stopped at once and the post fails
    /// without a record.
    template <class Response>
    bool post(const std::string& url, double timeoutSec, std::optional<Response>& response,
              const std::function<bool()>& shouldAbort = {}) const;

    /// The same post without the blank-URL check, as an ApiResult.
    template <class Response>
    ApiResult<Response> post(const std::string& url, double timeoutSec,
                             const std::function<bool()>& shouldAbort = {}) const;

private:
    /// Decodes a reply body into the caller's slot and returns the decoded
    /// reply's JSON text (nullopt when it cannot be encoded); throws when the
    /// body does not decode.
    using Decoder = std::function<std::optional<std::string>(const std::string& body)>;

    static bool rejectBlankUrl(const std::string& url);
    bool send(const std::string& url, double timeoutSec, const Decoder& decode,
              const std::function<bool()>& shouldAbort) const;
};

template <class Response>
bool ApiRequest::post(const std::string& url, double timeoutSec, std::optional<Response>& response,
                      const std::function<bool()>& shouldAbort) const {
    response.reset();
    if (rejectBlankUrl(url)) return false;
    ApiResult<Response> result = post<Response>(url, timeoutSec, shouldAbort);
    response = std::move(result.result);
    return result.succeeded;
}

template <class Response>
ApiResult<Response> ApiRequest::post(const std::string& url, double timeoutSec,
                                     const std::function<bool()>& shouldAbort) const {
    std::optional<Response> decoded;
    const auto decode = [&decoded](const std::string& body) -> std::optional<std::string> {
        decoded.emplace(nlohmann::json::parse(body));
        try {
            return decoded->encode().dump();
        } catch (const std::exception&) {
            return std::nullopt;
        }
    };
    const bool succeeded = send(url, timeoutSec, decode, shouldAbort);
    if (!succeeded) return {};
    return {true, std::move(decoded)};
}

}  // namespace hexora
