// Asks the gateway's JSON API as an outsider would: GET a path, the answer parsed (null when there
// is none, or it is not JSON) to the callback.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/json/value.hpp>

#include <functional>
#include <string>

namespace soak {

void ask_api(boost::asio::io_context &io, boost::asio::ip::tcp::endpoint gateway, const std::string &path,
             std::function<void(const boost::json::value &answer)> take);

// The record count of /api/servers/NAME's answer; -1 when it has none.
long long records_of(const boost::json::value &answer);

}  // namespace soak
