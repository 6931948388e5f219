#include "simhost/startup_line.h"

#include <cstdlib>

namespace simhost {
namespace {

const char *const EVERY_INTERFACE = "0.0.0.0";

std::string cvar_text(GameServer &server, const std::string &name) {
    const cvar_t *var = server.engine().cvars().find(name);
    return var && var->string ? var->string : "";
}

}  // namespace

std::string listener_ip(GameServer &server) {
    const std::string ip = cvar_text(server, "orlex_mm_ip");
    if (ip == "-1") {
        const std::string address = cvar_text(server, "net_address");
        return address.substr(0, address.find(':'));
    }
    return ip.empty() || ip == "0" ? EVERY_INTERFACE : ip;
}

// Mirrors the plug-in: its own setting when above 0, else the game port + 13000.
int listener_port(GameServer &server) {
    const int configured = std::atoi(cvar_text(server, "orlex_mm_port").c_str());
    if (configured > 0)
        return configured;
    const int hostport = std::atoi(cvar_text(server, "hostport").c_str());
    return (hostport != 0 ? hostport : std::atoi(cvar_text(server, "port").c_str())) + 13000;
}

std::string startup_line(GameServer &server, const Match &match, const std::string &client_program) {
    const std::string bound = listener_ip(server);
    const std::string port = std::to_string(listener_port(server));
    // Every interface takes in the local one, which is where the admin client looks.
    const bool everywhere = bound == EVERY_INTERFACE;
    return "orlex_simhost: " + server.engine().config().game_dir + " on " + server.map() + " with " +
           std::to_string(match.bots().size()) + " bots; the plug-in listens on " + bound + ":" + port +
           (everywhere ? " (every interface)" : "") + " five seconds after start; watch it with: " + client_program +
           " " + (everywhere ? "127.0.0.1" : bound) + " " + port;
}

}  // namespace simhost
