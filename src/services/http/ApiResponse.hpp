#pragma once
// The base of every reply record of the update API and the collector (it
// sits with the request layer, which both reach).
//
// A reply type R derives from ApiResponse and has a constructor
// `explicit R(const nlohmann::json&)` that decodes the reply and throws
// (nlohmann::json::exception or std::exception) when it cannot.
#include <nlohmann/json.hpp>

namespace hexora {

class ApiResponse {
public:
    ApiResponse() = default;
    /// Decodes nothing.
    explicit ApiResponse(const nlohmann::json&) {}
    virtual ~ApiResponse() = default;

    /// The record's JSON form (the base has no members).
    virtual nlohmann::ordered_json encode() const { return nlohmann::ordered_json::object(); }
};

}  // namespace hexora
