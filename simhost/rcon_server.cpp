#include "simhost/rcon_server.h"

#include <chrono>
#include <cstdlib>
#include <utility>

#include "simhost/rcon_wire.h"

namespace simhost {
namespace {

const size_t FAILING_ADDRESSES = 32;
const char *const BANNED = "You have been banned from this server.\n";

}  // namespace

RconServer::RconServer(CvarRegistry &cvars, ServerLog &log, BanList &bans, Execute execute)
    : cvars_(cvars),
      log_(log),
      bans_(bans),
      execute_(std::move(execute)),
      random_(static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())) {}

void RconServer::poll(double now) {
    char buffer[2048];
    size_t length = 0;
    UdpPeer from;
    while (port_.receive(buffer, sizeof(buffer), &length, &from))
        handle(std::string(buffer, length), from, now);
}

void RconServer::handle(const std::string &datagram, const UdpPeer &from, double now) {
    if (!within_rate(from.ipv4, now) || datagram.compare(0, 4, CONNECTIONLESS) != 0)
        return;
    if (bans_.ip_banned(from.ip())) {
        send(from, print_datagram(BANNED));
        return;
    }
    const std::string text = datagram.substr(4);
    if (is_rcon_challenge_request(text))
        send(from, std::string(CONNECTIONLESS) + "challenge rcon " + std::to_string(challenge_of(from.ipv4)) + "\n" +
                       std::string(1, '\0'));
    else if (text.compare(0, 4, "rcon") == 0 && text.size() <= LONGEST_REQUEST)
        command(text, from, now);
}

// A fixed window per IP that starts with its first datagram, and one over every sender.
bool RconServer::within_rate(std::uint32_t ipv4, double now) {
    const double window = cvar_number("max_queries_window", 60, 1, 3600);
    const int per_ip = cvar_number("max_queries_sec", 3, 1, 1000000) * static_cast<int>(window);
    const int global = cvar_number("max_queries_sec_global", 30, 1, 1000000) * static_cast<int>(window);
    for (Window *counted : {&windows_[ipv4], &global_}) {
        if (counted->count == 0 || now - counted->start >= window)
            *counted = Window{now, 0};
        ++counted->count;
    }
    return windows_[ipv4].count <= per_ip && global_.count <= global;
}

void RconServer::command(const std::string &text, const UdpPeer &from, double now) {
    RconRequest request;
    if (!parse_rcon_request(text, &request))
        return;
    if (request.challenge != std::to_string(challenge_of(from.ipv4))) {
        send(from, std::string(CONNECTIONLESS) + "9No challenge for your address.\n");
        return;
    }
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\0'))
        line.pop_back();
    const std::string logged = "\"" + line + "\" from \"" + from.text() + "\"\n";
    const std::string password = cvar_text("rcon_password");
    if (to_ban_.count(from.text())) {
        to_ban_.erase(from.text());
        send(from, print_datagram("Bad rcon_password.\n"));
        execute_("addip " + std::to_string(cvar_number("sv_rcon_banpenalty", 0, 0, 1000000)) + " " + from.ip());
        return;
    }
    if (password.empty()) {
        log_.write("Bad Rcon: " + logged);
        send(from, print_datagram("Bad rcon_password.\nNo password set for this server.\n"));
        return;
    }
    if (request.password != password) {
        log_.write("Bad Rcon: " + logged);
        send(from, print_datagram("Bad rcon_password.\n"));
        if (count_failure(from, now)) {
            log_.write("User " + from.text() + " will be banned for rcon hacking\n");
            to_ban_[from.text()] = true;
        }
        return;
    }
    log_.write("Rcon: " + logged);
    for (const std::string &datagram : print_datagrams(execute_(request.command)))
        send(from, datagram);
}

bool RconServer::count_failure(const UdpPeer &from, double now) {
    const std::string address = from.text();
    if (!failures_.count(address) && failures_.size() >= FAILING_ADDRESSES)
        failures_.erase(failures_.begin());
    std::deque<double> &times = failures_[address];
    const double span = cvar_number("sv_rcon_minfailuretime", 30, 1, 1000000);
    const size_t most = static_cast<size_t>(cvar_number("sv_rcon_minfailures", 5, 1, 20));
    times.push_back(now);
    while (!times.empty() && now - times.front() > span)
        times.pop_front();
    if (times.size() < most)
        return false;
    times.clear();
    return true;
}

// Tied to the IP alone and stable while the server runs.
std::uint32_t RconServer::challenge_of(std::uint32_t ipv4) {
    auto found = challenges_.find(ipv4);
    if (found == challenges_.end())
        found = challenges_.emplace(ipv4, random_() & 0x7fffffffu).first;
    return found->second;
}

int RconServer::cvar_number(const char *name, int fallback, int low, int high) const {
    const std::string text = cvar_text(name);
    if (text.empty())
        return fallback;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(value < low ? low : value > high ? high : value);
}

std::string RconServer::cvar_text(const char *name) const {
    const cvar_t *variable = cvars_.find(name);
    return variable && variable->string ? variable->string : "";
}

}  // namespace simhost
