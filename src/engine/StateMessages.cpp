#include "engine/StateMessages.hpp"

#include "engine/DisplayStates.hpp"
#include "engine/LoopLoadingMessage.hpp"

namespace hexora {
namespace {
// One entry for every state whose row has a message.
StateMessages::Table build() {
    StateMessages::Table table;
    for (const auto& row : displayStates()) {
        if (row.message == MessageKind::LoopLoading)
            table.emplace(row.state, std::make_shared<LoopLoadingMessage>(row.text));
        else if (row.message == MessageKind::Simple)
            table.emplace(row.state, std::make_shared<SimpleMessage>(row.text));
    }
    return table;
}
}  // namespace

const StateMessages::Table& StateMessages::messages() {
    static const Table table = build();
    return table;
}

std::shared_ptr<SimpleMessage> StateMessages::underMaintenance() {
    return std::static_pointer_cast<SimpleMessage>(messages().at(LauncherState::UnderMaintenance));
}

void StateMessages::reset() {
    for (const auto& [state, entry] : messages()) {
        if (auto* loop = dynamic_cast<LoopLoadingMessage*>(entry.get())) loop->restart();
        if (auto* simple = dynamic_cast<SimpleMessage*>(entry.get())) simple->setAdditionalMessage(std::nullopt);
    }
}

}  // namespace hexora
