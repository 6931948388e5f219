// --config FILE: read at start and again whenever its text changes (checked once a second); each
// change becomes the servers to remove and to add. Only servers it added itself are ever removed;
// one the owner refuses (its name served already) is asked for again at the next change.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "web/config.h"

namespace web {

// What a change of the file asks for: servers gone or moved first, then those new or moved.
struct ConfigChanges {
    std::vector<std::string> removed;
    std::vector<ServerAddress> added;
};
// From the servers added from the file so far to those it now names.
ConfigChanges config_changes(const std::vector<ServerAddress> &owned, const std::vector<ServerAddress> &wanted);

class ConfigWatcher {
public:
    static constexpr std::chrono::seconds kCheckInterval{1};
    // Add returns false when it refuses the server.
    using Add = std::function<bool(const ServerAddress &)>;
    using Remove = std::function<void(const std::string &name)>;

    ConfigWatcher(boost::asio::io_context &io, std::string path, Add add, Remove remove);
    // Reads the file now, then keeps checking it.
    void start();
    void stop();
    // A new text of the file (what start and the checks call); the mistake is logged and skipped.
    void apply_text(const std::string &text);

private:
    void check();

    boost::asio::steady_timer timer_;
    std::string path_;
    Add add_;
    Remove remove_;
    std::string text_;
    bool readable_ = true;  // its loss is logged once
    bool read_once_ = false;
    std::vector<ServerAddress> owned_;
};

}  // namespace web
