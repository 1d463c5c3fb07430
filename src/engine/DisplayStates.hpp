#pragma once
// Every fact about a display state, one row per LauncherState: the text and
// kind of its message entry, how the window draws it, whether the display
// stops on it and whether its text animates. LauncherState's raw values,
// StateMessages and the UIUpdateManager all read this table.
//
// Thread: any thread; the table is constant.
#include "engine/LauncherState.hpp"

#include <span>

namespace hexora {

/// How the window draws a state when it is applied.
enum class StateLook {
    Working,      ///< bars hidden, normal text, close button disabled
    Progress,     ///< next progress bar, normal text, close button disabled
    Failure,      ///< bars hidden, red text, close button enabled
    Notice,       ///< bars hidden, normal text, close button enabled
    Terminating,  ///< bars hidden, normal text, close button disabled, animation count kept
    Completed,    ///< bars hidden, text cleared, close button untouched
    Passive,      ///< nothing changes
};

/// The kind of a state's message entry.
enum class MessageKind { None, LoopLoading, Simple };

struct DisplayState {
    LauncherState state;
    MessageKind message;
    /// The message text; null without an entry.
    const char* text;
    StateLook look;
    /// The display stops for good once this state is current.
    bool final;
    /// The text animates while this state stays current.
    bool animated;
};

/// All rows, in raw-value order.
std::span<const DisplayState> displayStates();

/// The row of `state`.
const DisplayState& displayStateOf(LauncherState state);

}  // namespace hexora
