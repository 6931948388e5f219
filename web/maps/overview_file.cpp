#include "web/maps/overview_file.h"

#include <strings.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace web::maps {
namespace {

std::vector<std::string> tokens_of(const std::string &text) {
    std::vector<std::string> tokens;
    size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
        } else if (text.compare(at, 2, "//") == 0) {
            at = text.find('\n', at);
        } else if (c == '"') {
            const size_t end = text.find('"', at + 1);
            tokens.push_back(text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1));
            at = end == std::string::npos ? text.size() : end + 1;
        } else if (c == '{' || c == '}') {
            tokens.emplace_back(1, c);
            ++at;
        } else {
            const size_t end = text.find_first_of(" \t\r\n\"{}", at);
            tokens.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
            at = end == std::string::npos ? text.size() : end;
        }
    }
    return tokens;
}

bool same(const std::string &a, const char *b) { return strcasecmp(a.c_str(), b) == 0; }

class Reader {
public:
    explicit Reader(std::vector<std::string> tokens) : tokens_(std::move(tokens)) {}
    bool done() const { return at_ >= tokens_.size(); }
    bool next(std::string *token) {
        if (done())
            return false;
        *token = tokens_[at_++];
        return true;
    }
    bool number(double *value) {
        std::string token;
        if (!next(&token))
            return false;
        char *end = nullptr;
        *value = std::strtod(token.c_str(), &end);
        return !token.empty() && *end == '\0' && std::isfinite(*value);
    }

private:
    std::vector<std::string> tokens_;
    size_t at_ = 0;
};

bool fail(std::string *error, const std::string &why) {
    *error = why;
    return false;
}

bool read_key(Reader &reader, const std::string &key, bool global, Overview *overview, bool keep) {
    Overview ignored;
    Overview &into = keep ? *overview : ignored;
    if (global && same(key, "ZOOM"))
        return reader.number(&into.zoom);
    if (global && same(key, "ORIGIN"))
        return reader.number(&into.origin[0]) && reader.number(&into.origin[1]) && reader.number(&into.origin[2]);
    if (global && same(key, "ROTATED")) {
        double rotated = 0;
        if (!reader.number(&rotated) || std::fabs(rotated) > 1e6)
            return false;
        into.rotated = static_cast<int>(rotated);
        return true;
    }
    if (global && same(key, "INSET")) {
        double inset[4];
        return reader.number(&inset[0]) && reader.number(&inset[1]) && reader.number(&inset[2]) &&
               reader.number(&inset[3]);
    }
    if (!global && same(key, "IMAGE"))
        return reader.next(&into.image);
    if (!global && same(key, "HEIGHT"))
        return reader.number(&into.height);
    return false;
}

}  // namespace

bool parse_overview(const std::string &text, Overview *overview, std::string *error) {
    Reader reader(tokens_of(text));
    *overview = Overview();
    int layers = 0;
    std::string token;
    while (reader.next(&token)) {
        const bool global = same(token, "global");
        if (!global && !same(token, "layer"))
            continue;  // the game skips anything else at the top level
        const bool keep = global || layers++ == 0;
        std::string open;
        if (!reader.next(&open) || open != "{")
            return fail(error, "block " + token + " without '{'");
        std::string key;
        while (reader.next(&key) && key != "}")
            if (!read_key(reader, key, global, overview, keep))
                return fail(error, "unknown or incomplete key '" + key.substr(0, 40) + "'");
        if (key != "}")
            return fail(error, "block " + token + " without '}'");
    }
    if (layers == 0 || overview->image.empty())
        return fail(error, "no layer image");
    if (!(overview->zoom > 0))
        return fail(error, "ZOOM must be above 0");
    return true;
}

Transform overview_transform(const Overview &overview, int width, int height) {
    const double a = 4096 / overview.zoom, b = 3072 / overview.zoom;
    const double ox = overview.origin[0], oy = overview.origin[1];
    Transform t;
    if (overview.rotated != 0) {
        t = {width / (2 * a), 0, width * (a - ox) / (2 * a), 0, -height / (2 * b), height * (oy + b) / (2 * b)};
    } else {
        t = {0, -width / (2 * a), width * (oy + a) / (2 * a), -height / (2 * b), 0, height * (ox + b) / (2 * b)};
    }
    return t;
}

}  // namespace web::maps
