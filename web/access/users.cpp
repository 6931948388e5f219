#include "web/access/users.h"

#include <openssl/sha.h>

#include <cctype>
#include <sstream>

#include "web/access.h"

namespace web::access {
namespace {

const char kHashPrefix[] = "sha256:";

bool valid_name(const std::string &name) {
    if (name.empty() || name.size() > 64)
        return false;
    for (unsigned char c : name)
        if (!std::isalnum(c) && c != '_' && c != '-' && c != '.')
            return false;
    return true;
}

bool valid_hash(const std::string &hash) {
    const size_t prefix = sizeof(kHashPrefix) - 1;
    return hash.size() == prefix + 64 && hash.compare(0, prefix, kHashPrefix) == 0 &&
           hash.find_first_not_of("0123456789abcdef", prefix) == std::string::npos;
}

bool given_already(const std::vector<User> &users, const std::string &name) {
    for (const User &known : users)
        if (known.name == name)
            return true;
    return false;
}

Role parse_role(const std::string &text) {
    if (text == "viewer")
        return Role::viewer;
    if (text == "admin")
        return Role::admin;
    return Role::none;
}

}  // namespace

const char *role_name(Role role) {
    switch (role) {
        case Role::viewer:
            return "viewer";
        case Role::admin:
            return "admin";
        case Role::none:
            break;
    }
    return "none";
}

std::string token_hash(std::string_view token) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char *>(token.data()), token.size(), digest);
    const char digits[] = "0123456789abcdef";
    std::string hash = kHashPrefix;
    for (unsigned char byte : digest) {
        hash += digits[byte >> 4];
        hash += digits[byte & 15];
    }
    return hash;
}

bool parse_users(const std::string &text, std::vector<User> *users, std::string *error) {
    users->clear();
    error->clear();
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string name, role, hash, extra;
        if (!(fields >> name))
            continue;
        std::string where = "line " + std::to_string(number) + ": ";
        if (!(fields >> role >> hash) || (fields >> extra)) {
            *error = where + "must be NAME ROLE sha256:HEX";
            return false;
        }
        User user{name, parse_role(role), hash};
        if (!valid_name(name))
            *error = where + "a name is 1 to 64 letters, digits, '_', '-' or '.'";
        else if (user.role == Role::none)
            *error = where + "the role must be viewer or admin";
        else if (!valid_hash(hash))
            *error = where + "the token's hash must be sha256: and 64 lower-case hex digits (orlex_web --hash-token)";
        else if (given_already(*users, name))
            *error = where.append("user ").append(name).append(" is given twice");
        if (!error->empty())
            return false;
        users->push_back(std::move(user));
    }
    return true;
}

const User *Users::find_token(std::string_view token) const {
    if (token.empty())
        return nullptr;
    const std::string hash = token_hash(token);
    const User *found = nullptr;
    for (const User &user : users_)
        if (same_secret(user.hash, hash) && !found)
            found = &user;
    return found;
}

const User *Users::find_name(const std::string &name) const {
    for (const User &user : users_)
        if (user.name == name)
            return &user;
    return nullptr;
}

}  // namespace web::access
