// The dashboard's text inputs from outside: configuration files, request targets, cookies and
// authorization headers. A parsed server is always one that could be written back the same way.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "web/access.h"
#include "web/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<web::ServerAddress> servers;
    std::string error;
    if (web::parse_config(text, &servers, &error)) {
        std::string again;
        for (const web::ServerAddress &server : servers)
            again += server.name + " " + server.address() + "\n";
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
    return 0;
}
