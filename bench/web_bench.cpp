// orlex_web under load: N watched streams (a generator replaying a 32-player cstrike match's
// records at the plug-in's default pace) and M WebSocket viewers, each watching one server, all on
// loopback. Reports the delay from a record's arrival at the gateway to the delivery of a state
// holding it, the gateway's CPU as a share of one core, and its resident memory.
// orlex_web_bench --web PATH [--servers 50] [--viewers 500] [--seconds 60]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/match_records.h"
#include "client/sample_records.h"

namespace {

using Clock = std::chrono::steady_clock;

// The plug-in's defaults: the server record every 2 s, players and objectives every 5 s.
const double kServerPeriod = 2.0, kCyclePeriod = 5.0, kWarmUp = 8.0;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int listen_loopback(int *port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    bind(fd, reinterpret_cast<sockaddr *>(&address), size);
    listen(fd, 64);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    *port = ntohs(address.sin_port);
    return fd;
}

int connect_loopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool send_all(int fd, const std::string &bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t count = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0)
            return false;
        sent += static_cast<size_t>(count);
    }
    return true;
}

std::string file_text(const std::string &path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

long status_kb(pid_t pid, const char *key) {
    const std::string status = file_text("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find(key);
    return at == std::string::npos ? -1 : std::strtol(status.c_str() + at + std::strlen(key), nullptr, 10);
}

double cpu_seconds(pid_t pid) {
    const std::string stat = file_text("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    std::vector<std::string> fields;
    size_t start = close + 2;
    for (size_t space; (space = stat.find(' ', start)) != std::string::npos; start = space + 1)
        fields.push_back(stat.substr(start, space - start));
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
    return fields.size() > 12 ? (std::stod(fields[11]) + std::stod(fields[12])) / sysconf(_SC_CLK_TCK) : 0;
}

struct Stream {
    int fd = -1;
    std::vector<Clock::time_point> sent;  // by record number, from 1
    double next_server = 0, next_cycle = 0;
};

struct WsViewer {
    int fd = -1;
    size_t server = 0;
    size_t seen = 0;  // records of its server reflected in what it has received
    std::string pending;
};

// The gateway's state message starts {"type":"state","state":{"name":"sN",...,"records":N,...
bool state_of(const std::string &payload, size_t *server, size_t *records) {
    static const std::string head = "{\"type\":\"state\",\"state\":{\"name\":\"s";
    if (payload.compare(0, head.size(), head) != 0)
        return false;
    *server = std::strtoul(payload.c_str() + head.size(), nullptr, 10);
    const size_t at = payload.find("\"records\":");
    if (at == std::string::npos)
        return false;
    *records = std::strtoul(payload.c_str() + at + 10, nullptr, 10);
    return true;
}

// Complete server-to-client frames (never masked) out of the viewer's bytes.
template <class Take>
void frames(WsViewer &viewer, Take take) {
    std::string &bytes = viewer.pending;
    size_t at = 0;
    for (;;) {
        if (bytes.size() - at < 2)
            break;
        size_t length = static_cast<unsigned char>(bytes[at + 1]) & 0x7f, head = 2;
        if (length == 126) {
            if (bytes.size() - at < 4)
                break;
            length = (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
            head = 4;
        } else if (length == 127) {
            if (bytes.size() - at < 10)
                break;
            length = 0;
            for (int byte = 2; byte < 10; ++byte)
                length = (length << 8) | static_cast<unsigned char>(bytes[at + byte]);
            head = 10;
        }
        if (bytes.size() - at < head + length)
            break;
        const unsigned char opcode = static_cast<unsigned char>(bytes[at]) & 0x0f;
        if (opcode == 1)
            take(bytes.substr(at + head, length));
        else if (opcode == 9) {  // answer the keep-alive ping
            std::string pong = {'\x8a', static_cast<char>(0x80 | length), 0, 0, 0, 0};
            pong += bytes.substr(at + head, length);
            send_all(viewer.fd, pong);
        }
        at += head + length;
    }
    bytes.erase(0, at);
}

std::string option(int argc, char **argv, const char *name, const char *fallback) {
    for (int at = 1; at + 1 < argc; ++at)
        if (std::strcmp(argv[at], name) == 0)
            return argv[at + 1];
    return fallback;
}

double percentile(std::vector<double> &values, double share) {
    if (values.empty())
        return NAN;
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

}  // namespace

int main(int argc, char **argv) {
    const std::string web = option(argc, argv, "--web", "build/orlex_web");
    const size_t servers = std::stoul(option(argc, argv, "--servers", "50"));
    const size_t viewer_count = std::stoul(option(argc, argv, "--viewers", "500"));
    const double seconds = std::stod(option(argc, argv, "--seconds", "60"));
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    std::vector<Stream> streams(servers);
    std::vector<int> listeners;
    std::vector<std::string> arguments = {web, "--listen", "127.0.0.1:0"};
    for (size_t at = 0; at < servers; ++at) {
        int port = 0;
        listeners.push_back(listen_loopback(&port));
        arguments.insert(arguments.end(), {"--server", "s" + std::to_string(at) + "=127.0.0.1:" + std::to_string(port)});
    }
    int out[2];
    if (pipe(out) != 0)
        return 1;
    const pid_t gateway = fork();
    if (gateway == 0) {
        dup2(out[1], 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        std::vector<char *> argv_list;
        for (std::string &word : arguments)
            argv_list.push_back(word.data());
        argv_list.push_back(nullptr);
        execv(web.c_str(), argv_list.data());
        _exit(127);
    }
    close(out[1]);
    char line[256] = {};
    const ssize_t got = read(out[0], line, sizeof(line) - 1);
    const char *marker = got > 0 ? std::strstr(line, "127.0.0.1:") : nullptr;
    if (!marker) {
        std::fprintf(stderr, "orlex_web_bench: %s did not start\n", web.c_str());
        return 1;
    }
    const int web_port = std::atoi(marker + 10);
    for (size_t at = 0; at < servers; ++at) {
        streams[at].fd = accept(listeners[at], nullptr, nullptr);
        const int on = 1;
        setsockopt(streams[at].fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        close(listeners[at]);
    }
    std::vector<WsViewer> viewers(viewer_count);
    for (size_t at = 0; at < viewer_count; ++at) {
        viewers[at].fd = connect_loopback(web_port);
        viewers[at].server = at % servers;
        send_all(viewers[at].fd, "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        std::string answer;
        char buffer[4096];
        while (answer.find("\r\n\r\n") == std::string::npos) {
            const ssize_t count = recv(viewers[at].fd, buffer, sizeof(buffer), 0);
            if (count <= 0)
                return 1;
            answer.append(buffer, static_cast<size_t>(count));
        }
        viewers[at].pending = answer.substr(answer.find("\r\n\r\n") + 4);
        const std::string watch = "{\"watch\":\"s" + std::to_string(viewers[at].server) + "\"}";
        std::string frame = {'\x81', static_cast<char>(0x80 | watch.size()), 0, 0, 0, 0};
        send_all(viewers[at].fd, frame + watch);
        fcntl(viewers[at].fd, F_SETFL, O_NONBLOCK);
    }

    Match match;
    std::mt19937 phases(11);
    const Clock::time_point start = Clock::now();
    for (Stream &stream : streams) {  // servers do not run in step
        stream.next_server = std::uniform_real_distribution<double>(0, kServerPeriod)(phases);
        stream.next_cycle = std::uniform_real_distribution<double>(0, kCyclePeriod)(phases);
    }
    std::vector<double> delays;
    double cpu_at_warm_up = -1;
    size_t records_sent = 0, states_received = 0;
    std::vector<pollfd> ready(viewer_count);
    char buffer[65536];
    for (double now = 0; now < kWarmUp + seconds; now = seconds_since(start)) {
        if (cpu_at_warm_up < 0 && now >= kWarmUp)
            cpu_at_warm_up = cpu_seconds(gateway);
        double next_due = kWarmUp + seconds;
        for (Stream &stream : streams) {
            std::vector<std::string> records;
            if (now >= stream.next_server) {
                records.push_back(samples::server("de_dust2", "bench " + std::to_string(records_sent)));
                stream.next_server += kServerPeriod;
            }
            if (now >= stream.next_cycle) {
                records.push_back(match.players());
                records.push_back(match.bomb());
                records.push_back(match.hostages());
                stream.next_cycle += kCyclePeriod;
            }
            for (const std::string &record : records) {  // one record per send, as the plug-in's ring spreads them
                stream.sent.push_back(Clock::now());
                send_all(stream.fd, record);
                ++records_sent;
            }
            next_due = std::min({next_due, stream.next_server, stream.next_cycle});
        }
        for (size_t at = 0; at < viewer_count; ++at)
            ready[at] = {viewers[at].fd, POLLIN, 0};
        const int wait = static_cast<int>(std::ceil(std::max(0.0, next_due - seconds_since(start)) * 1000));
        if (poll(ready.data(), ready.size(), std::min(wait, 100)) <= 0)
            continue;
        const Clock::time_point arrived = Clock::now();
        const bool measuring = seconds_since(start) >= kWarmUp;
        for (size_t at = 0; at < viewer_count; ++at) {
            if (!(ready[at].revents & POLLIN))
                continue;
            WsViewer &viewer = viewers[at];
            ssize_t count;
            while ((count = recv(viewer.fd, buffer, sizeof(buffer), 0)) > 0)
                viewer.pending.append(buffer, static_cast<size_t>(count));
            frames(viewer, [&](const std::string &payload) {
                size_t server = 0, records = 0;
                if (!state_of(payload, &server, &records) || server != viewer.server)
                    return;
                ++states_received;
                const Stream &stream = streams[server];
                for (size_t record = viewer.seen + 1; record <= records && record <= stream.sent.size(); ++record)
                    if (measuring && viewer.seen > 0)
                        delays.push_back(std::chrono::duration<double, std::milli>(arrived - stream.sent[record - 1]).count());
                viewer.seen = std::max(viewer.seen, records);
            });
        }
    }
    const double cpu = cpu_seconds(gateway) - cpu_at_warm_up;
    const long resident = status_kb(gateway, "VmRSS:"), peak = status_kb(gateway, "VmHWM:");
    kill(gateway, SIGTERM);
    waitpid(gateway, nullptr, 0);

    const size_t measured = delays.size();
    const double p50 = percentile(delays, 0.50), p99 = percentile(delays, 0.99), worst = percentile(delays, 1.0);
    std::printf("%zu streams at the default refresh (a 32-player cstrike match), %zu WebSocket viewers, %.0f s measured\n",
                servers, viewer_count, seconds);
    std::printf("records sent %zu, states delivered %zu, deliveries measured %zu\n", records_sent, states_received,
                measured);
    std::printf("delay, record arrival to delivery:  p50 %6.2f ms   p99 %6.2f ms   max %6.2f ms   target p99 <= 50 ms\n",
                p50, p99, worst);
    std::printf("gateway CPU:                        %5.1f %% of one core             target <= 10 %%\n",
                100.0 * cpu / seconds);
    std::printf("gateway resident memory:            %5.1f MB (peak %.1f MB)          target <= 100 MB\n",
                resident / 1024.0, peak / 1024.0);
    return 0;
}
