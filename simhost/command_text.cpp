#include "simhost/command_text.h"

namespace simhost {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

std::vector<std::string> split_words(const std::string &command) {
    std::vector<std::string> words;
    size_t position = 0;
    while (position < command.size()) {
        if (is_blank(command[position])) {
            ++position;
        } else if (command[position] == '"') {
            const size_t end = command.find('"', position + 1);
            words.push_back(command.substr(position + 1, end == std::string::npos ? end : end - position - 1));
            position = end == std::string::npos ? command.size() : end + 1;
        } else {
            const size_t start = position;
            while (position < command.size() && !is_blank(command[position]) && command[position] != '"')
                ++position;
            words.push_back(command.substr(start, position - start));
        }
    }
    return words;
}

std::vector<std::vector<std::string>> split_commands(const std::string &text) {
    std::vector<std::vector<std::string>> commands;
    std::string current;
    bool quoted = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '\n';
        if (c == '"')
            quoted = !quoted;
        if (c == '\n' || (c == ';' && !quoted)) {
            std::vector<std::string> words = split_words(current);
            if (!words.empty())
                commands.push_back(words);
            current.clear();
            quoted = false;
            continue;
        }
        current += c;
    }
    return commands;
}

}  // namespace simhost
