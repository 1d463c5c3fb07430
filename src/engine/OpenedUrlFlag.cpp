#include "engine/OpenedUrlFlag.hpp"

#include <atomic>

namespace hexora::OpenedUrlFlag {
namespace {
std::atomic<bool> flag{false};
}  // namespace

bool isSet() { return flag.load(); }

void set(bool value) { flag.store(value); }

}  // namespace hexora::OpenedUrlFlag
