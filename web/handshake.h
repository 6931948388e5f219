// The WebSocket upgrade's own rules: the key a client must send, the time the handshake may take,
// and the name the answer gives, the same as every other answer's.
#pragma once

#include <boost/beast/http/field.hpp>
#include <boost/beast/websocket/stream_base.hpp>

#include <chrono>
#include <string_view>

namespace web {

// Every answer's Server header: the program, not the libraries it is made with or their versions.
constexpr char kServerName[] = "orlex_web";
constexpr std::chrono::seconds kHandshakeTime{10};

// A Sec-WebSocket-Key is 16 bytes in base64: 22 digits of the alphabet and "==".
bool valid_websocket_key(std::string_view key);

// The upgrade's answer (101, or an error) names the program alone.
template <class WebSocket>
void answer_as_gateway(WebSocket &socket) {
    socket.set_option(boost::beast::websocket::stream_base::decorator(
        [](auto &response) { response.set(boost::beast::http::field::server, kServerName); }));
}

}  // namespace web
