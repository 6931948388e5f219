#include "simhost/startup_line.h"

#include <cstdlib>

namespace simhost {
namespace {

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
    // Every interface: the local one reaches it.
    return ip.empty() || ip == "0" ? "127.0.0.1" : ip;
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
    const std::string address = listener_ip(server) + " " + std::to_string(listener_port(server));
    const std::string where = listener_ip(server) + ":" + std::to_string(listener_port(server));
    return "orlex_simhost: " + server.engine().config().game_dir + " on " + server.map() + " with " +
           std::to_string(match.bots().size()) + " bots; the plug-in listens on " + where +
           " five seconds after start; watch it with: " + client_program + " " + address;
}

}  // namespace simhost
