#include "support/FakePathExchange.hpp"

#include <system_error>

namespace hexora::test {

platform::PathExchange::Result FakePathExchange::exchange(const std::filesystem::path& first,
                                                          const std::filesystem::path& second) {
    ++calls_;
    switch (mode_.load()) {
    case Mode::NotSupported:
        return Result::NotSupported;
    case Mode::Fail:
        throw std::filesystem::filesystem_error("PathExchange: exchange failed", first, second,
                                                std::make_error_code(std::errc::io_error));
    case Mode::System:
        break;
    }
    return system_.exchange(first, second);
}

}  // namespace hexora::test
