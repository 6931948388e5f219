// Who may be answered when the gateway has a token: requests carrying it as a bearer token, as the
// cookie it sets, or once as ?token= in the URL (which sets the cookie).
#pragma once

#include <string>
#include <string_view>

namespace web {

// Equal texts, compared in a time that depends on the expected text's length only.
bool same_secret(std::string_view expected, std::string_view given);

struct Access {
    bool allowed = false;
    bool from_query = false;  // came as ?token=: answer with the cookie, so the page keeps access
};

// With an empty token every request is allowed.
Access check_access(const std::string &token, std::string_view authorization, std::string_view cookies,
                    std::string_view target);

// The Set-Cookie value that carries the token.
std::string token_cookie(const std::string &token);

// The target's path, without its query: "/api/servers?x=1" -> "/api/servers".
std::string_view target_path(std::string_view target);
// A query parameter's value, %-escapes and '+' decoded; false when absent.
bool query_value(std::string_view target, std::string_view name, std::string *value);

}  // namespace web
