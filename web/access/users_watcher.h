// --users FILE: read at start and again whenever its text changes (checked once a second), so that
// a user removed or demoted loses access within a second. A version with a mistake is logged and
// skipped: the users known stay.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "web/access/users.h"

namespace web::access {

class UsersWatcher {
public:
    static constexpr std::chrono::seconds kCheckInterval{1};
    using Changed = std::function<void(std::vector<User>)>;

    UsersWatcher(boost::asio::io_context &io, std::string path, Changed changed);
    // Reads the file now; false with the reason when it cannot be read or has a mistake.
    bool start(std::string *error);
    void stop() { timer_.cancel(); }

private:
    bool read(std::string *error);
    void check_later();

    boost::asio::steady_timer timer_;
    std::string path_;
    Changed changed_;
    std::string text_;
    std::string last_error_;  // logged once
};

}  // namespace web::access
