#pragma once
// What the two worker errors share: the outcome code, the thrower's type, the
// message (what()) and an optional inner error. WorkerError adds nothing to
// it; LauncherError adds the display state, the telemetry record and the
// terminate flag.
//
// Thread: an error object is used by one thread at a time (thrown on the
// worker thread, caught there).
#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace hexora::Worker {

class ErrorBase : public std::exception {
public:
    enum class Code { Succeeded, Failed };

    /// `message`.
    const char* what() const noexcept override { return message.c_str(); }
    /// The inner error's description; nullopt without an inner error.
    std::optional<std::string> errorDescription() const;

    std::optional<Code> code;
    std::string type;
    std::string message;
    std::exception_ptr error;
    std::optional<std::string> errorText;

protected:
    ErrorBase(std::optional<Code> code, std::string type, std::string message);
};

/// The base with the builder steps both errors share, returning the error
/// itself so that the steps chain: Error(code, type, message).withError(inner).
template <class Self>
class ChainedError : public ErrorBase {
public:
    ChainedError(std::optional<Code> code, std::string type, std::string message)
        : ErrorBase(code, std::move(type), std::move(message)) {}

    /// The inner error that caused this one.
    Self& withError(std::exception_ptr inner) {
        error = std::move(inner);
        return static_cast<Self&>(*this);
    }
    /// An inner error known only by its description.
    Self& withError(std::string description) {
        errorText = std::move(description);
        return static_cast<Self&>(*this);
    }
};

}  // namespace hexora::Worker
