// A page's POST carries its cookie on its own, even when another site's page sends it: such a POST
// must also come from the gateway's own origin and carry a value only the gateway's page can read
// (GET /api/session, which another origin's script cannot read). The value is the user's, for this
// run of the gateway: a key drawn at start, hashed with the user's token hash.
#pragma once

#include <string>
#include <string_view>

#include "web/access/users.h"

namespace web::access {

class CsrfKey {
public:
    CsrfKey();  // draws the key
    std::string value_for(const User &user) const;
    bool matches(const User &user, std::string_view given) const;

private:
    std::string key_;
};

// True when an Origin header names exactly the Host the request was sent to (http or https).
bool origin_is_host(std::string_view origin, std::string_view host);

}  // namespace web::access
