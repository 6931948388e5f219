// The engine's remote console on the game port: challenges, the password, the failure count that
// gets an address banned, the connectionless rate limit, and the log lines every command leaves.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "simhost/ban_list.h"
#include "simhost/cvar_registry.h"
#include "simhost/server_log.h"
#include "simhost/udp_port.h"

namespace simhost {

class RconServer {
public:
    // Runs one console command and returns what it printed.
    using Execute = std::function<std::string(const std::string &command)>;

    RconServer(CvarRegistry &cvars, ServerLog &log, BanList &bans, Execute execute);

    bool open(const std::string &ip, int port, std::string *error) { return port_.open(ip, port, error); }
    // Answers every datagram waiting; `now` is the server's running time in seconds.
    void poll(double now);
    // One datagram as if it had arrived (what poll does with each); the answers go to `from`.
    void handle(const std::string &datagram, const UdpPeer &from, double now);

private:
    struct Window {
        double start = 0.0;
        int count = 0;
    };
    bool within_rate(std::uint32_t ipv4, double now);
    void command(const std::string &text, const UdpPeer &from, double now);
    // A wrong password from `from`; true once enough came quickly that the address gets banned.
    bool count_failure(const UdpPeer &from, double now);
    std::uint32_t challenge_of(std::uint32_t ipv4);
    int cvar_number(const char *name, int fallback, int low, int high) const;
    std::string cvar_text(const char *name) const;
    void send(const UdpPeer &to, const std::string &bytes) { port_.send(to, bytes); }

    CvarRegistry &cvars_;
    ServerLog &log_;
    BanList &bans_;
    Execute execute_;
    UdpPort port_;
    std::mt19937 random_;
    std::map<std::uint32_t, std::uint32_t> challenges_;
    std::map<std::uint32_t, Window> windows_;
    Window global_;
    std::map<std::string, std::deque<double>> failures_;  // by "IP:PORT", at most FAILING_ADDRESSES
    std::map<std::string, bool> to_ban_;                  // told "will be banned", banned at the next attempt
};

}  // namespace simhost
