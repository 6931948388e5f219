// The dashboard's text inputs from outside: configuration files, request targets, cookies,
// authorization, Host, X-Forwarded-For and WebSocket key headers. A parsed server, its settings
// included, is always one that could be written back the same way.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "web/access.h"
#include "web/config.h"
#include "web/handshake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<web::ServerAddress> servers;
    std::string error;
    if (web::parse_config(text, &servers, &error)) {
        std::string again;
        for (const web::ServerAddress &server : servers) {
            again += server.name + " " + server.address();
            for (const auto &[key, value] : server.settings)
                again += " " + key + "=" + value;
            again += "\n";
        }
        std::vector<web::ServerAddress> reread;
        if (!web::parse_config(again, &reread, &error) || !(reread == servers))
            __builtin_trap();
    }
    web::ServerAddress server;
    web::parse_server_option(text, &server, &error);
    const web::Access access = web::check_access("t0ken", text, text, text);
    if (access.allowed && text.find("t0ken") == std::string::npos && text.find('%') == std::string::npos)
        __builtin_trap();  // no access without the token in some form
    std::string value;
    web::query_value(text, "token", &value);
    web::target_path(text);
    std::string lower = text;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (web::host_is_one_of(text, {"localhost"}) && lower.compare(0, 9, "localhost") != 0)
        __builtin_trap();  // a Host that does not even start with the name
    const auto proxy = boost::asio::ip::make_address("127.0.0.2");
    web::forwarded_client(proxy, {text, text}, {proxy});
    if (web::valid_websocket_key(text) && text.size() != 24)
        __builtin_trap();
    return 0;
}
