#include "web/access/users_watcher.h"

#include <cstdio>

#include "web/config.h"

namespace web::access {

UsersWatcher::UsersWatcher(boost::asio::io_context &io, std::string path, Changed changed)
    : timer_(io), path_(std::move(path)), changed_(std::move(changed)) {}

bool UsersWatcher::start(std::string *error) {
    if (!read(error))
        return false;
    check_later();
    return true;
}

bool UsersWatcher::read(std::string *error) {
    std::string text;
    if (!read_text_file(path_, &text)) {
        *error = "cannot read " + path_;
        return false;
    }
    if (text == text_ && !text.empty())
        return true;
    std::vector<User> users;
    if (!parse_users(text, &users, error)) {
        *error = path_ + ": " + *error;
        return false;
    }
    text_ = text;
    changed_(std::move(users));
    return true;
}

void UsersWatcher::check_later() {
    timer_.expires_after(kCheckInterval);
    timer_.async_wait([this](boost::system::error_code error) {
        if (error)
            return;
        std::string why;
        if (!read(&why) && why != last_error_)
            std::fprintf(stderr, "orlex_web: --users: %s; the users known stay\n", why.c_str());
        last_error_ = why;
        check_later();
    });
}

}  // namespace web::access
