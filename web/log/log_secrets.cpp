#include "web/log/log_secrets.h"

#include <cctype>

namespace web::log {
namespace {

constexpr size_t kStampLength = 25;  // "L 09/25/2024 - 21:14:03: "

bool starts_with(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

bool same_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool is_password_name(std::string_view name) {
    return same_letters(name, "rcon_password") || same_letters(name, "sv_password");
}

bool is_blank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// One console token from `at`, as the engine reads a command line: quoted up to the next quote, else
// up to a blank. Moves `at` past it.
std::string_view next_token(std::string_view text, size_t *at) {
    while (*at < text.size() && is_blank(text[*at]))
        ++*at;
    const size_t start = *at;
    if (start < text.size() && text[start] == '"') {
        const size_t close = text.find('"', start + 1);
        *at = close == std::string_view::npos ? text.size() : close + 1;
        return text.substr(start + 1, (close == std::string_view::npos ? text.size() : close) - start - 1);
    }
    while (*at < text.size() && !is_blank(text[*at]))
        ++*at;
    return text.substr(start, *at - start);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A command that sets a password keeps only the cvar's name.
std::string safe_command(std::string_view command) {
    size_t at = 0;
    const std::string_view name = next_token(command, &at);
    if (is_password_name(name))
        return std::string(name);
    return std::string(command);
}

// `Rcon: "rcon N "PASSWORD" COMMAND" from "IP:PORT"` (the packet's text may itself hold quotes and
// line feeds): `Rcon: "COMMAND"`. What cannot be read that way keeps nothing of the packet.
std::string scrub_rcon(std::string_view word, std::string_view rest) {
    std::string_view packet = rest;
    const size_t from = packet.rfind("\" from \"");
    packet = from == std::string_view::npos ? packet.substr(0, 0) : packet.substr(0, from);
    size_t at = 0;
    next_token(packet, &at);     // "rcon"
    next_token(packet, &at);     // the challenge
    next_token(packet, &at);     // the password
    std::string scrubbed(word);  // ends with its opening quote
    if (from != std::string_view::npos && at < packet.size())
        scrubbed += safe_command(trimmed(packet.substr(at)));
    return scrubbed + "\"";
}

std::string scrub_body(std::string_view body) {
    for (std::string_view word : {std::string_view("Rcon: \""), std::string_view("Bad Rcon: \"")})
        if (starts_with(body, word))
            return scrub_rcon(word, body.substr(word.size()));
    const std::string_view cvar = "Server cvar \"";
    if (starts_with(body, cvar)) {
        const size_t close = body.find('"', cvar.size());
        if (close == std::string_view::npos)  // cut short: which cvar it is cannot be told
            return std::string(cvar.substr(0, cvar.size() - 2));
        if (is_password_name(body.substr(cvar.size(), close - cvar.size())))
            return std::string(body.substr(0, close + 1));
    }
    return std::string(body);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool has_stamp(std::string_view text) {
    static const char pattern[] = "L dd/dd/dddd - dd:dd:dd: ";
    if (text.size() < kStampLength)
        return false;
    for (size_t i = 0; i < kStampLength; ++i)
        if (pattern[i] == 'd' ? !is_digit(text[i]) : text[i] != pattern[i])
            return false;
    return true;
}

}  // namespace

std::string scrub_log_secrets(std::string_view text) {
    if (!has_stamp(text))
        return scrub_body(text);
    return std::string(text.substr(0, kStampLength)) + scrub_body(text.substr(kStampLength));
}

}  // namespace web::log
