#include "engine/WorkerError.hpp"

namespace hexora::Worker {

WorkerError::WorkerError(std::optional<Code> code, std::string type, std::string message)
    : ErrorBase(code, std::move(type), std::move(message)) {}

WorkerError& WorkerError::withError(std::exception_ptr inner) {
    error = std::move(inner);
    return *this;
}

WorkerError& WorkerError::withError(std::string description) {
    errorText = std::move(description);
    return *this;
}

}  // namespace hexora::Worker
