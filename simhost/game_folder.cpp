#include "simhost/game_folder.h"

#include <fstream>
#include <sstream>

namespace simhost {
namespace {

#if defined(_WIN32)
const char *const THIS_SYSTEM = "win32";
#else
const char *const THIS_SYSTEM = "linux";
#endif

const std::streamsize LARGEST_FILE = 1 << 20;

std::string trim(const std::string &text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool read_file(const std::string &path, std::string *text) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::string content(static_cast<size_t>(LARGEST_FILE) + 1, '\0');
    file.read(&content[0], LARGEST_FILE + 1);
    const std::streamsize length = file.gcount();
    if (length > LARGEST_FILE || file.bad())
        return false;
    content.resize(static_cast<size_t>(length));
    *text = content;
    return true;
}

// The line up to a // that is not inside quotes.
std::string without_comment(const std::string &line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (!quoted && line.compare(i, 2, "//") == 0)
            return line.substr(0, i);
    }
    return line;
}

bool reaches_outside(std::string name) {
    for (char &c : name)
        if (c == '\\')
            c = '/';
    if (name.empty() || name[0] == '/' || name.find(':') != std::string::npos)
        return true;
    std::istringstream parts(name);
    for (std::string part; std::getline(parts, part, '/');)
        if (part == "..")
            return true;
    return false;
}

}  // namespace

bool plugin_from_list(const std::string &game_folder, std::string *path, std::string *error) {
    const std::string list = game_folder + "/addons/metamod/plugins.ini";
    std::string text;
    if (!read_file(list, &text)) {
        *error = "cannot read " + list;
        return false;
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line.rfind("//", 0) == 0)
            continue;
        std::istringstream words(line);
        std::string system, relative;
        words >> system >> relative;
        if (system == THIS_SYSTEM && !relative.empty()) {
            *path = game_folder;
            path->append("/").append(relative);
            return true;
        }
    }
    *error = list + " names no plug-in for " + THIS_SYSTEM;
    return false;
}

std::vector<std::string> config_commands(const std::string &text) {
    std::vector<std::string> commands;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::string command = trim(without_comment(line));
        if (!command.empty())
            commands.push_back(command);
    }
    return commands;
}

bool read_game_file(const std::string &game_folder, const std::string &name, std::string *text) {
    if (game_folder.empty() || reaches_outside(name))
        return false;
    return read_file(game_folder + "/" + name, text);
}

}  // namespace simhost
