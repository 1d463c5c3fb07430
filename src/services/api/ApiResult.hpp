#pragma once
// The outcome of a request: whether it succeeded and, when it did, the value
// the reply carried (the text of a text request, the decoded reply of a post).
#include <optional>

namespace hexora {

template <class T>
struct ApiResult {
    bool succeeded = false;
    std::optional<T> result;
};

}  // namespace hexora
