#pragma once
// The plain error a worker throws to end the run without a display state,
// telemetry record or termination: the worker thread only logs it.
#include <exception>
#include <optional>
#include <string>

namespace hexora::Worker {

class WorkerError : public std::exception {
public:
    enum class Code { Succeeded, Failed };

    WorkerError(std::optional<Code> code, std::string type, std::string message);

    /// The inner error that caused this one.
    WorkerError& withError(std::exception_ptr error);
    /// An inner error known only by its description.
    WorkerError& withError(std::string description);

    /// `message`.
    const char* what() const noexcept override { return message.c_str(); }
    /// The inner error's description; nullopt without an inner error.
    std::optional<std::string> errorDescription() const;

    std::optional<Code> code;
    std::string type;
    std::string message;
    std::exception_ptr error;
    std::optional<std::string> errorText;
};

}  // namespace hexora::Worker
