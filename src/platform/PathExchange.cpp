#include "platform/PathExchange.hpp"

#include "platform/LayerSlot.hpp"
#include "platform/RenameExchange.hpp"

namespace hexora::platform {
namespace {
using Slot = LayerSlot<PathExchange, RenameExchange>;
}  // namespace

std::shared_ptr<PathExchange> PathExchange::current() { return Slot::current(); }

void PathExchange::install(std::shared_ptr<PathExchange> exchange) { Slot::install(std::move(exchange)); }

}  // namespace hexora::platform
