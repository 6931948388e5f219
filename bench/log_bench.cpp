// The servers' logs in the gateway. --parse: lines scrubbed, read into events and kept, per second on
// one core (target: at least 200,000). --share WEB_PROGRAM: the gateway's CPU share while 50 servers
// send their logs at a busy match's rate (40 lines a second each), each from its own loopback address.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/sockets.h"
#include "web/log/event_log.h"
#include "web/log/log_secrets.h"

extern char **environ;

namespace {

// A busy cstrike round's mix: kills, objective and round lines, chat, an rcon line.
const std::vector<std::string> &busy_lines() {
    static const std::vector<std::string> lines = {
        R"(L 09/25/2024 - 21:20:31: "Bob<13><STEAM_0:0:777><CT>" killed "Ivan<14><BOT><TERRORIST>" with "m4a1")",
        R"(L 09/25/2024 - 21:20:31: "Bob<13><STEAM_0:0:777><CT>" attacked "Ivan<14><BOT><TERRORIST>" with "m4a1" (damage "33") (damage_armor "4") (health "-6") (armor "96"))",
        R"(L 09/25/2024 - 21:20:32: "Alice<12><STEAM_0:1:4242><TERRORIST>" triggered "Planted_The_Bomb")",
        R"(L 09/25/2024 - 21:20:33: "Bob<13><STEAM_0:0:777><CT>" say "nice "plant" lol" (dead))",
        R"(L 09/25/2024 - 21:20:34: Team "TERRORIST" triggered "Target_Bombed" (CT "3") (T "5"))",
        R"(L 09/25/2024 - 21:20:34: World triggered "Round_End")",
        R"(L 09/25/2024 - 21:20:40: World triggered "Round_Start")",
        R"(L 09/25/2024 - 21:20:41: Rcon: "rcon 2077436521 "s3cret" say map change in 5 minutes" from "198.51.100.9:50112")",
    };
    return lines;
}

void LinesParsed(benchmark::State &state) {
    web::log::EventLog log;
    const std::vector<std::string> &lines = busy_lines();
    size_t next = 0;
    for (auto _ : state) {
        log.take_text(web::log::scrub_log_secrets(lines[next]));
        next = (next + 1) % lines.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(LinesParsed)->Name("log lines scrubbed, parsed and kept (target >= 200,000/s)");

// utime + stime of a process, in clock ticks.
long cpu_ticks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < text.size()) {
        const size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        at = space == std::string::npos ? text.size() : space + 1;
    }
    return fields.size() > 13 ? std::stol(fields[11]) + std::stol(fields[12]) : 0;
}

int share(const char *program) {
    const int servers = 50, lines_per_second = 40, seconds = 10;
    const int log_port = testing_support::free_port();
    std::vector<std::string> words = {program, "--listen", "127.0.0.1:0", "--log-listen",
                                      "127.0.0.1:" + std::to_string(log_port)};
    for (int i = 1; i <= servers; ++i)
        words.push_back("--server=s" + std::to_string(i) + "=127.0.0." + std::to_string(i + 1) + ":1");
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", program);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::vector<int> sockets;
    for (int i = 1; i <= servers; ++i) {
        const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        inet_pton(AF_INET, ("127.0.0." + std::to_string(i + 1)).c_str(), &from.sin_addr);
        bind(s, reinterpret_cast<sockaddr *>(&from), sizeof(from));
        sockets.push_back(s);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(log_port));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    const long start_ticks = cpu_ticks(pid);
    const auto start = std::chrono::steady_clock::now();
    const auto tick = std::chrono::milliseconds(1000 / lines_per_second);
    size_t next = 0;
    for (auto due = start; due < start + std::chrono::seconds(seconds); due += tick) {
        std::this_thread::sleep_until(due);
        for (int s : sockets) {
            const std::string &line = busy_lines()[next++ % busy_lines().size()];
            const std::string datagram = std::string("\xFF\xFF\xFF\xFFlog ") + line + "\n" + std::string(1, '\0');
            sendto(s, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof(to));
        }
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double used = static_cast<double>(cpu_ticks(pid) - start_ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    for (int s : sockets)
        ::close(s);
    std::printf("gateway CPU with %d servers' logs at %d lines/s each: %.1f%% of one core (%.2f s in %.1f s)\n",
                servers, lines_per_second, 100.0 * used / elapsed, used, elapsed);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--share") == 0)
        return share(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
