#include "engine/ErrorBase.hpp"

#include "engine/ErrorDescription.hpp"

namespace hexora::Worker {

ErrorBase::ErrorBase(std::optional<Code> code, std::string type, std::string message)
    : code(code), type(std::move(type)), message(std::move(message)) {}

std::optional<std::string> ErrorBase::errorDescription() const {
    if (errorText) return errorText;
    if (error) return describeError(error);
    return std::nullopt;
}

}  // namespace hexora::Worker
