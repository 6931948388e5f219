// orlex_rcon_bench: what administering over rcon takes, on loopback, against the simulated server
// (the built plug-in loaded, its default 100 frames a second and report period of 5 s):
//  - the rcon round trip: a command datagram out to the first datagram of its answer back, with the
//    challenge reused as the gateway does (paced well under the engine's 180 a minute);
//  - a kick through the gateway's API to the player gone from the PLAYER record its API shows: the
//    action's answer (which waits 300 ms of quiet after the console's answer) and then the next report
//    cycle that lacks the player.
// orlex_rcon_bench [--round-trips N] [--kicks N]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <boost/json/parse.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/sockets.h"
#include "web/access/users.h"
#include "web/harness.h"

namespace {

namespace json = boost::json;
using Clock = std::chrono::steady_clock;

const char kPassword[] = "bench-rcon-pw";
const char kToken[] = "bench-admin-token";

double milliseconds_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void print_spread(const char *what, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%-44s no measure\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double share) { return values[static_cast<size_t>(share * (values.size() - 1))]; };
    std::printf("%-44s n=%zu  min %.2f  median %.2f  p90 %.2f  max %.2f ms\n", what, values.size(), values.front(),
                at(0.5), at(0.9), values.back());
}

class RconClient {
public:
    explicit RconClient(int port) : socket_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(socket_, reinterpret_cast<sockaddr *>(&to), sizeof(to));
    }
    ~RconClient() { ::close(socket_); }
    // The first datagram of the answer, or empty after a second of silence.
    std::string ask(const std::string &text) {
        const std::string datagram = "\xff\xff\xff\xff" + text;
        send(socket_, datagram.data(), datagram.size(), 0);
        return next(1000);
    }
    // Whatever else arrives within the time (the rest of an answer), dropped.
    void drain(int milliseconds) {
        while (!next(milliseconds).empty()) {
        }
    }

private:
    std::string next(int milliseconds) {
        pollfd ready{socket_, POLLIN, 0};
        char buffer[2048];
        if (poll(&ready, 1, milliseconds) != 1)
            return "";
        const ssize_t size = recv(socket_, buffer, sizeof(buffer), 0);
        return size > 4 ? std::string(buffer + 4, static_cast<size_t>(size) - 4) : std::string();
    }
    int socket_;
};

void measure_round_trips(int game_port, int count) {
    RconClient client(game_port);
    std::string challenge;
    for (int tries = 0; tries < 50 && challenge.empty(); ++tries) {
        const std::string answer = client.ask("challenge rcon\n");
        if (answer.rfind("challenge rcon ", 0) == 0)
            challenge = std::to_string(std::strtoul(answer.c_str() + 15, nullptr, 10));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (challenge.empty()) {
        std::printf("rcon round trip: no challenge from the simulated server\n");
        return;
    }
    std::vector<double> short_answers, status_answers;
    for (int at = 0; at < count; ++at) {
        const bool status = at % 2 == 1;
        const auto start = Clock::now();
        const std::string answer =
            client.ask("rcon " + challenge + " \"" + kPassword + "\" " + (status ? "status" : "mp_timelimit"));
        if (!answer.empty() && answer[0] == 'l')
            (status ? status_answers : short_answers).push_back(milliseconds_since(start));
        client.drain(50);
        // 4 a second: well inside the engine's 180 a minute.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    print_spread("rcon round trip, a variable's value", short_answers);
    print_spread("rcon round trip, status (16 players)", status_answers);
}

json::object state(int port) {
    boost::system::error_code error;
    const json::value parsed = json::parse(
        web_testing::http_get(port, "/api/servers/sim", std::string("Authorization: Bearer ") + kToken + "\r\n").body,
        error);
    return !error && parsed.is_object() ? parsed.as_object() : json::object();
}

std::vector<int64_t> user_ids(int port) {
    std::vector<int64_t> ids;
    const json::object detail = state(port);
    if (detail.contains("players") && detail.at("players").is_array())
        for (const json::value &player : detail.at("players").as_array())
            ids.push_back(player.at("user_id").as_int64());
    return ids;
}

void measure_kicks(int port, int count) {
    std::vector<double> answered, gone;
    std::mt19937 chance(7);
    for (int at = 0; at < count; ++at) {
        const std::vector<int64_t> ids = user_ids(port);
        if (ids.empty())
            break;
        const int64_t victim = ids.front();
        // At a point of the report cycle left to chance, as a person's click is.
        std::this_thread::sleep_for(std::chrono::milliseconds(chance() % 5000));
        const std::string body = R"({"action":"kick","user_id":)" + std::to_string(victim) + "}";
        const auto start = Clock::now();
        const web_testing::HttpReply reply = web_testing::http_exchange(
            port,
            "POST /api/servers/sim/actions HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
            "Authorization: Bearer " +
                std::string(kToken) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        if (reply.status != 200) {
            std::printf("kick refused: %d %s\n", reply.status, reply.body.c_str());
            continue;
        }
        answered.push_back(milliseconds_since(start));
        const bool left = testing_support::wait_until(
            [&] {
                const std::vector<int64_t> now = user_ids(port);
                return std::find(now.begin(), now.end(), victim) == now.end();
            },
            30000);
        if (left)
            gone.push_back(milliseconds_since(start));
    }
    print_spread("kick: POST to its answer", answered);
    print_spread("kick: POST to the player gone from the API", gone);
}

void write_file(const std::string &path, const std::string &text) { std::ofstream(path) << text; }

int number_after(int argc, char **argv, const char *name, int otherwise) {
    for (int at = 1; at + 1 < argc; ++at)
        if (std::strcmp(argv[at], name) == 0)
            return std::atoi(argv[at + 1]);
    return otherwise;
}

}  // namespace

int main(int argc, char **argv) {
    const int round_trips = number_after(argc, argv, "--round-trips", 100);
    const int kicks = number_after(argc, argv, "--kicks", 8);
    char folder_template[] = "/tmp/orlex_rcon_bench_XXXXXX";
    const std::string folder = mkdtemp(folder_template);
    write_file(folder + "/password", std::string(kPassword) + "\n");
    write_file(folder + "/users", "bench admin " + web::access::token_hash(kToken) + "\n");
    const int game_port = testing_support::free_port(), plugin_port = testing_support::free_port();
    web_testing::Process server(
        ORLEX_SIMHOST_PATH,
        {"--game", "cstrike", "--bots", "16", "--quiet", "--hostport", std::to_string(game_port), "--set",
         "orlex_mm_port=" + std::to_string(plugin_port), "--rcon-password-file", folder + "/password"});
    write_file(folder + "/servers",
               "sim 127.0.0.1:" + std::to_string(plugin_port) + " rcon-password-file=" + folder + "/password\n");
    web_testing::Gateway gateway(
        {"--config", folder + "/servers", "--users", folder + "/users", "--audit", folder + "/audit"});
    std::printf("== rcon on loopback, the simulated server at 100 frames a second, 16 bots\n");
    measure_round_trips(game_port, round_trips);
    const bool watching = gateway.port() > 0 && testing_support::wait_until(
                                                    [&] {
                                                        const json::object detail = state(gateway.port());
                                                        return detail.contains("server") &&
                                                               detail.at("server").is_object() &&
                                                               !user_ids(gateway.port()).empty();
                                                    },
                                                    60000);
    if (watching)
        measure_kicks(gateway.port(), kicks);
    else
        std::printf("the gateway did not show the simulated server\n");
    std::system(("rm -rf " + folder).c_str());
    return watching ? 0 : 1;
}
