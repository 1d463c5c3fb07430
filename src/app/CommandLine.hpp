#pragma once
// The launcher's command line: a desktop URL handler passes each opened URL
// as an argument; a self-restarted launcher gets the old launcher's process
// id as a decimal argument, which is not read here (the new launcher finds
// the old one through the game's preference suite).
//
// What counts as a URL is the launcher's one rule (services/internal/
// UrlScheme.hpp): a scheme and ":", whatever follows. So every URL the
// hand-off worker can read is handed over, also one with blanks, braces or a
// bad percent escape; an argument that is no URL is left out, as if the
// launcher had been started without it, and the log says why.
//
// Thread: any.
#include <string>
#include <vector>

namespace hexora::app {

/// The arguments after the program name that are URLs, in order, unchanged.
/// Each argument left out is logged with the reason.
std::vector<std::string> openedUrls(const std::vector<std::string>& arguments);

}  // namespace hexora::app
