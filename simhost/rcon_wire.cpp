#include "simhost/rcon_wire.h"

#include <cctype>

#include "simhost/command_text.h"

namespace simhost {

const char *const CONNECTIONLESS = "\xff\xff\xff\xff";

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One console word from `at`: quoted (an unbalanced quote runs to the end) or up to a blank.
bool next_word(const std::string &text, size_t *at, std::string *word) {
    while (*at < text.size() && blank(text[*at]))
        ++*at;
    if (*at >= text.size())
        return false;
    if (text[*at] == '"') {
        const size_t end = text.find('"', *at + 1);
        *word = text.substr(*at + 1, end == std::string::npos ? std::string::npos : end - *at - 1);
        *at = end == std::string::npos ? text.size() : end + 1;
        return true;
    }
    const size_t start = *at;
    while (*at < text.size() && !blank(text[*at]) && text[*at] != '"')
        ++*at;
    *word = text.substr(start, *at - start);
    return true;
}

std::string lower(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool parse_rcon_request(const std::string &text, RconRequest *request) {
    size_t at = 0;
    std::string word;
    if (!next_word(text, &at, &word) || word != "rcon" || !next_word(text, &at, &request->challenge) ||
        !next_word(text, &at, &request->password))
        return false;
    while (at < text.size() && blank(text[at]))
        ++at;
    std::string command = text.substr(at);
    while (!command.empty() && blank(command.back()))
        command.pop_back();
    request->command = command.substr(0, LONGEST_COMMAND);
    return true;
}

bool is_rcon_challenge_request(const std::string &text) {
    const std::vector<std::string> words = split_words(text.substr(0, text.find('\n')));
    return words.size() == 2 && words[0] == "challenge" && lower(words[1]) == "rcon";
}

std::string print_datagram(const std::string &text) {
    return std::string(CONNECTIONLESS) + "l" + text + std::string(2, '\0');
}

std::vector<std::string> print_datagrams(const std::string &output) {
    const size_t room = PRINT_DATAGRAM - print_datagram("").size();
    std::vector<std::string> datagrams;
    size_t at = 0;
    do {
        datagrams.push_back(print_datagram(output.substr(at, room)));
        at += room;
    } while (at < output.size());
    return datagrams;
}

}  // namespace simhost
