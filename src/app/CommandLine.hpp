#pragma once
// The launcher's command line: a desktop URL handler passes each opened URL
// as an argument; a self-restarted launcher gets the old launcher's process
// id as a decimal argument, which is not read here (the new launcher finds
// the old one through the game's preference suite).
//
// Thread: any. Pure.
#include <string>
#include <vector>

namespace hexora::app {

/// The arguments after the program name that are absolute URLs (a scheme,
/// then ":"), in order. Decimal numbers and anything else are left out.
std::vector<std::string> openedUrls(const std::vector<std::string>& arguments);

}  // namespace hexora::app
