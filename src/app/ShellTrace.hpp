#pragma once
// A trace of the shell for tests that run the real program: with
// HEXORA_SHELL_TRACE=1 in the environment (honoured only by builds that let
// the environment replace the endpoints, never by a build made for users)
// the launcher's log lines go to standard error, together with one line per
// text the window shows ("ViewController.setMessage: <text>", line breaks
// written as \r and \n).
//
// Thread: enable() on the GUI thread at start; the rest from any thread.
#include <string>

namespace hexora::app::ShellTrace {

/// Reads the environment once and, when the trace is wanted, attaches a
/// standard-error sink to the launcher's log.
void enable();
/// True when enable() turned the trace on.
bool isOn();
/// Logs the text the window now shows, when the trace is on.
void shownMessage(const std::string& text);

}  // namespace hexora::app::ShellTrace
