#include "web/access.h"

#include <algorithm>
#include <cctype>

namespace web {
namespace {

const char kCookieName[] = "orlex_token";

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string url_decoded(std::string_view text) {
    std::string decoded;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && hex_digit(text[at + 1]) >= 0 && hex_digit(text[at + 2]) >= 0) {
            decoded += static_cast<char>(hex_digit(text[at + 1]) * 16 + hex_digit(text[at + 2]));
            at += 2;
        } else {
            decoded += text[at] == '+' ? ' ' : text[at];
        }
    }
    return decoded;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool cookie_value(std::string_view cookies, std::string *value) {
    while (!cookies.empty()) {
        const size_t end = cookies.find(';');
        const std::string_view pair = trimmed(cookies.substr(0, end));
        const size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == kCookieName) {
            *value = url_decoded(pair.substr(equals + 1));
            return true;
        }
        cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
    }
    return false;
}

}  // namespace

bool same_secret(std::string_view expected, std::string_view given) {
    unsigned char difference = expected.size() == given.size() ? 0 : 1;
    for (size_t at = 0; at < expected.size(); ++at)
        difference |= static_cast<unsigned char>(expected[at] ^ (given.empty() ? 0 : given[at % given.size()]));
    return difference == 0 && !expected.empty();
}

std::vector<PresentedToken> presented_tokens(std::string_view authorization, std::string_view cookies,
                                             std::string_view target) {
    std::vector<PresentedToken> tokens;
    const std::string_view bearer = "Bearer ";
    if (authorization.substr(0, bearer.size()) == bearer)
        tokens.push_back({TokenVia::header, std::string(trimmed(authorization.substr(bearer.size())))});
    std::string given;
    if (cookie_value(cookies, &given))
        tokens.push_back({TokenVia::cookie, given});
    if (query_value(target, "token", &given))
        tokens.push_back({TokenVia::query, given});
    return tokens;
}

Access check_access(const std::string &token, std::string_view authorization, std::string_view cookies,
                    std::string_view target) {
    if (token.empty())
        return {true, false};
    for (const PresentedToken &given : presented_tokens(authorization, cookies, target))
        if (same_secret(token, given.token))
            return {true, given.via == TokenVia::query};
    return {false, false};
}

bool host_is_one_of(std::string_view host, const std::vector<std::string> &names) {
    const size_t name_end = host.substr(0, 1) == "[" ? host.find(']') + 1 : host.find(':');
    std::string name(host.substr(0, name_end == 0 ? std::string_view::npos : name_end));
    const std::string_view port = name.size() < host.size() ? host.substr(name.size()) : std::string_view();
    if (!port.empty() &&
        (port.size() < 2 || port[0] != ':' || port.find_first_not_of("0123456789", 1) != std::string_view::npos))
        return false;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name.size() > 1 && name.back() == '.')
        name.pop_back();  // "localhost." is the same name, fully qualified
    return !name.empty() && std::find(names.begin(), names.end(), name) != names.end();
}

boost::asio::ip::address forwarded_client(const boost::asio::ip::address &proxy,
                                          const std::vector<std::string_view> &values,
                                          const std::vector<boost::asio::ip::address> &proxies) {
    std::vector<std::string_view> entries;
    for (std::string_view value : values)
        for (size_t end; !value.empty();
             value = end == std::string_view::npos ? std::string_view() : value.substr(end + 1)) {
            end = value.find(',');
            entries.push_back(trimmed(value.substr(0, end)));
        }
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        boost::system::error_code error;
        const boost::asio::ip::address address = boost::asio::ip::make_address(std::string(*entry), error);
        if (error)
            return proxy;
        if (std::find(proxies.begin(), proxies.end(), address) == proxies.end())
            return address;
    }
    return proxy;
}

std::string token_cookie(const std::string &token) {
    std::string encoded;  // a cookie value may not hold every byte: the token %-escaped
    const char digits[] = "0123456789ABCDEF";
    for (unsigned char c : token) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~')
            encoded += static_cast<char>(c);
        else
            encoded += std::string("%") + digits[c >> 4] + digits[c & 15];
    }
    return std::string(kCookieName) + "=" + encoded + "; Path=/; HttpOnly; SameSite=Strict";
}

std::string_view target_path(std::string_view target) { return target.substr(0, target.find('?')); }

bool query_value(std::string_view target, std::string_view name, std::string *value) {
    const size_t question = target.find('?');
    if (question == std::string_view::npos)
        return false;
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        const size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        const size_t equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            *value = url_decoded(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
            return true;
        }
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
    }
    return false;
}

}  // namespace web
