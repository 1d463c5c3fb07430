#pragma once
// The error the service operations throw: a domain naming the operation
// ("Path.clear", "CSV.getInt", ...), a numeric code and one "reason" text.
//
// Thread: a plain value; copy it freely.
#include <stdexcept>
#include <string>

namespace hexora {

class ServiceError : public std::runtime_error {
public:
    ServiceError(std::string domain, long code, std::string reason);

    const std::string& domain() const noexcept { return domain_; }
    long code() const noexcept { return code_; }
    /// The message stored under the user-information key "reason".
    const std::string& reason() const noexcept { return reason_; }

private:
    std::string domain_;
    long code_;
    std::string reason_;
};

}  // namespace hexora
