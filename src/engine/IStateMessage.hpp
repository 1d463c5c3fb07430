#pragma once
// The text a display state shows. Entries of StateMessages::messages() are
// shared by the whole process.
//
// Thread: getMessage() is called on the main thread by the display; the
// implementations below are also safe to call from other threads.
#include <string>

namespace hexora {

class IStateMessage {
public:
    virtual ~IStateMessage() = default;
    /// The text to show now; the base gives the empty string.
    virtual std::string getMessage() { return ""; }
};

}  // namespace hexora
