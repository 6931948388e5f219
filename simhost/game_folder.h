// A game folder as operators lay it out: the plug-in host's list (addons/metamod/plugins.ini) names
// the plug-in for each system, by a path relative to the folder, and the console's exec reads its
// configuration files (server.cfg, and those it execs) from there.
#pragma once

#include <string>
#include <vector>

namespace simhost {

// The path of the first plug-in listed for this system ("linux", or "win32" on Windows), joined to
// the folder. False, with the reason, when the list cannot be read or names none for this system.
bool plugin_from_list(const std::string &game_folder, std::string *path, std::string *error);

// A configuration file's commands: one per line, without // comments (outside quotes), carriage
// returns and blank lines.
std::vector<std::string> config_commands(const std::string &text);

// A file of the game folder by the name an exec gives. False for a name that reaches outside it
// (absolute, or through ..) and for a file that cannot be read or is over 1 MB.
bool read_game_file(const std::string &game_folder, const std::string &name, std::string *text);

}  // namespace simhost
