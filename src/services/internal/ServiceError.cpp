#include "services/internal/ServiceError.hpp"

namespace hexora {

ServiceError::ServiceError(std::string domain, long code, std::string reason)
    : std::runtime_error(domain + " error " + std::to_string(code) + ": " + reason),
      domain_(std::move(domain)),
      code_(code),
      reason_(std::move(reason)) {}

}  // namespace hexora
