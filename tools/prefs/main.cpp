// hexora-prefs: the game's preference suite from a separate process.
//
//   hexora-prefs get <key>                 prints the decoded value
//   hexora-prefs set <key> <value>         stores one entry
//   hexora-prefs set-many <prefix> <count> stores <prefix>0 ... <prefix><count-1>,
//                                          each with its number as value
//
// The suite lives in the user's configuration folder ($XDG_CONFIG_HOME).
#include "services/file/PlayerPrefsHelper.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using hexora::PlayerPrefsHelper::agent;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "get" && argc == 3) {
        std::fputs(agent().getString(argv[2]).c_str(), stdout);
        return 0;
    }
    if (command == "set" && argc == 4) {
        agent().setString(argv[2], argv[3]);
        return 0;
    }
    if (command == "set-many" && argc == 4) {
        const int count = std::atoi(argv[3]);
        for (int i = 0; i < count; ++i) agent().setString(argv[2] + std::to_string(i), std::to_string(i));
        return 0;
    }
    std::fputs("usage: hexora-prefs get <key> | set <key> <value> | set-many <prefix> <count>\n", stderr);
    return 2;
}
