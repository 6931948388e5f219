#include "web/access/csrf.h"

#include <openssl/rand.h>

#include <cstdio>
#include <cstdlib>

#include "web/access.h"

namespace web::access {

CsrfKey::CsrfKey() {
    unsigned char bytes[32];
    if (RAND_bytes(bytes, sizeof(bytes)) != 1) {
        std::fputs("orlex_web: no random bytes for the page's request key\n", stderr);
        std::abort();  // a guessable key would let other sites act as the admin
    }
    key_.assign(reinterpret_cast<const char *>(bytes), sizeof(bytes));
}

std::string CsrfKey::value_for(const User &user) const {
    return token_hash(key_ + user.hash).substr(sizeof("sha256:") - 1);
}

bool CsrfKey::matches(const User &user, std::string_view given) const { return same_secret(value_for(user), given); }

bool origin_is_host(std::string_view origin, std::string_view host) {
    for (std::string_view scheme : {"http://", "https://"})
        if (origin.substr(0, scheme.size()) == scheme)
            return !host.empty() && origin.substr(scheme.size()) == host;
    return false;
}

}  // namespace web::access
