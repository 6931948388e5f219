// orlex_mm_cfg NOTES VERSION: writes orlex_mm.cfg to standard output, every console variable of the
// plug-in's table with its default, each under its line from NOTES. A variable without a line, a
// line for no variable, or a line of another form is an error (exit 1): the file cannot drift.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "host/cvars.h"

namespace {

struct Note {
    bool setting = false;  // else a report the plug-in keeps up to date
    std::string text;
};

bool read_notes(const char *path, std::map<std::string, Note> *notes) {
    std::ifstream file(path);
    if (!file) {
        std::cerr << "orlex_mm_cfg: cannot read " << path << "\n";
        return false;
    }
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string kind, name;
        Note note;
        words >> kind >> name >> std::ws;
        std::getline(words, note.text);
        note.setting = kind == "setting";
        if ((kind != "setting" && kind != "report") || note.text.empty() || !notes->emplace(name, note).second) {
            std::cerr << "orlex_mm_cfg: " << path << ":" << number
                      << ": not \"setting|report NAME TEXT\", or a name twice\n";
            return false;
        }
    }
    return true;
}

void write_header(const std::string &version) {
    std::cout << "// orlex_mm " << version << ": the plug-in's settings, each at its default.\n"
              << "// Loaded by this line in server.cfg (paths are relative to the game folder):\n"
              << "//   exec addons/orlex_mm/orlex_mm.cfg\n"
              << "// Change a value here, or set it again in server.cfg after that line.\n";
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::cerr << "usage: orlex_mm_cfg NOTES VERSION\n";
        return 2;
    }
    std::map<std::string, Note> notes;
    if (!read_notes(argv[1], &notes))
        return 1;
    write_header(argv[2]);
    int failures = 0;
    for (const cvar_t *variable = orlex_cvars; variable->name; ++variable) {
        const auto note = notes.find(variable->name);
        if (note == notes.end()) {
            std::cerr << "orlex_mm_cfg: " << variable->name << " has no line in " << argv[1] << "\n";
            ++failures;
            continue;
        }
        std::cout << "\n// " << note->second.text << "\n";
        if (note->second.setting)
            std::cout << variable->name << " \"" << variable->string << "\"\n";
        else
            std::cout << "// " << variable->name << " (set by the plug-in, not here)\n";
        notes.erase(note);
    }
    for (const auto &left : notes) {
        std::cerr << "orlex_mm_cfg: " << argv[1] << " names " << left.first << ", which the plug-in does not have\n";
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
