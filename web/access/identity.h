// Who a request is: the user whose token it carries (bearer header, cookie or ?token=, the first
// that is one of the users'), or nobody.
#pragma once

#include <string>
#include <string_view>

#include "web/access.h"
#include "web/access/users.h"

namespace web::access {

struct Identity {
    const User *user = nullptr;  // null: no token, or none of the users'
    TokenVia via = TokenVia::header;
    std::string token;  // the token that named the user
    Role role() const { return user ? user->role : Role::none; }
};

Identity identify(const Users &users, std::string_view authorization, std::string_view cookies,
                  std::string_view target);

}  // namespace web::access
