#include "engine/WorkerError.hpp"

#include "engine/ErrorDescription.hpp"

namespace hexora::Worker {

WorkerError::WorkerError(std::optional<Code> code, std::string type, std::string message)
    : code(code), type(std::move(type)), message(std::move(message)) {}

WorkerError& WorkerError::withError(std::exception_ptr inner) {
    error = std::move(inner);
    return *this;
}

WorkerError& WorkerError::withError(std::string description) {
    errorText = std::move(description);
    return *this;
}

std::optional<std::string> WorkerError::errorDescription() const {
    if (errorText) return errorText;
    if (error) return describeError(error);
    return std::nullopt;
}

}  // namespace hexora::Worker
