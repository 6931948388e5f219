#include "web/access/identity.h"

namespace web::access {

Identity identify(const Users &users, std::string_view authorization, std::string_view cookies,
                  std::string_view target) {
    Identity identity;
    for (PresentedToken &given : presented_tokens(authorization, cookies, target))
        if (const User *user = users.find_token(given.token)) {
            identity.user = user;
            identity.via = given.via;
            identity.token = std::move(given.token);
            break;
        }
    return identity;
}

}  // namespace web::access
