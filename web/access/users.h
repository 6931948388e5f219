// Who may use the gateway: users of a role, each known by the SHA-256 of its token (a users file,
// or the one admin of --token). A token is looked up by its hash, compared with every user's in a
// time that does not depend on which user (if any) it matches.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace web::access {

enum class Role { none, viewer, admin };
const char *role_name(Role role);

struct User {
    std::string name;
    Role role = Role::none;
    std::string hash;  // "sha256:" and 64 lower-case hex digits
    bool operator==(const User &other) const { return name == other.name && role == other.role && hash == other.hash; }
};

// "sha256:" + the hex of the token's SHA-256: a users file line's last field.
std::string token_hash(std::string_view token);

// Lines "NAME ROLE sha256:HEX"; blank lines and '#' comments skipped. False with the line and the
// mistake (nothing of the token's hash in it).
bool parse_users(const std::string &text, std::vector<User> *users, std::string *error);

class Users {
public:
    void set(std::vector<User> users) { users_ = std::move(users); }
    bool empty() const { return users_.empty(); }
    // The user whose token this is; null when none.
    const User *find_token(std::string_view token) const;
    const User *find_name(const std::string &name) const;

private:
    std::vector<User> users_;
};

}  // namespace web::access
