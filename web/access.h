// Who may be answered. When the gateway has a token: requests carrying it as a bearer token, as the
// cookie it sets, or once as ?token= in the URL (which sets the cookie). Without one: requests for
// the gateway's own names only, so that another site's page cannot reach it by pointing its own
// name at this machine (DNS rebinding). Behind a reverse proxy: who the client is.
#pragma once

#include <boost/asio/ip/address.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace web {

// Equal texts, compared in a time that depends on the expected text's length only.
bool same_secret(std::string_view expected, std::string_view given);

struct Access {
    bool allowed = false;
    bool from_query = false;  // came as ?token=: answer with the cookie, so the page keeps access
};

// The tokens a request carries, in the order they are tried: bearer header, cookie, ?token=.
enum class TokenVia { header, cookie, query };
struct PresentedToken {
    TokenVia via;
    std::string token;
};
std::vector<PresentedToken> presented_tokens(std::string_view authorization, std::string_view cookies,
                                             std::string_view target);

// With an empty token every request is allowed.
Access check_access(const std::string &token, std::string_view authorization, std::string_view cookies,
                    std::string_view target);

// True when a Host header's name (its port aside, in any case) is one of the names, given in
// lower case ("[::1]" for an IPv6 address). A Host that is not a name and a port is never one.
bool host_is_one_of(std::string_view host, const std::vector<std::string> &names);

// The client a proxy forwarded for, from its X-Forwarded-For values in order: the last address in
// them that is not one of the proxies (the entries before it are what the client claimed). The
// proxy itself when there is none, or when that entry is not an address.
boost::asio::ip::address forwarded_client(const boost::asio::ip::address &proxy,
                                          const std::vector<std::string_view> &values,
                                          const std::vector<boost::asio::ip::address> &proxies);

// The Set-Cookie value that carries the token.
std::string token_cookie(const std::string &token);

// The target's path, without its query: "/api/servers?x=1" -> "/api/servers".
std::string_view target_path(std::string_view target);
// A query parameter's value, %-escapes and '+' decoded; false when absent.
bool query_value(std::string_view target, std::string_view name, std::string *value);

}  // namespace web
