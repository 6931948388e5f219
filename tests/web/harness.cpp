#include "web/harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/sockets.h"

namespace web_testing {

TempDir::TempDir() {
    std::string name = "/tmp/orlex_web_test_XXXXXX";
    if (::mkdtemp(name.data()))
        path_ = name;
}

TempDir::~TempDir() {
    if (!path_.empty())
        std::system(("rm -rf " + path_).c_str());
}
namespace {

std::string file_text(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int connect_loopback(int port, int receive_buffer) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (receive_buffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof(receive_buffer));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool send_all(int fd, const std::string &bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t count = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0)
            return false;
        sent += static_cast<size_t>(count);
    }
    return true;
}

// Appends what arrives within the time; false at the end of the stream or an error.
bool receive_some(int fd, std::string *bytes, int milliseconds) {
    pollfd ready = {fd, POLLIN, 0};
    if (poll(&ready, 1, milliseconds) <= 0)
        return true;
    char buffer[65536];
    const ssize_t count = recv(fd, buffer, sizeof(buffer), 0);
    if (count <= 0)
        return false;
    bytes->append(buffer, static_cast<size_t>(count));
    return true;
}

using Clock = std::chrono::steady_clock;

int remaining(Clock::time_point deadline) {
    return static_cast<int>(
        std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
}

}  // namespace

Process::Process(const std::string &path, const std::vector<std::string> &arguments) {
    static std::atomic<int> count{0};
    const std::string base = "/tmp/orlex_web_test_" + std::to_string(getpid()) + "_" + std::to_string(count++);
    out_path_ = base + ".out";
    err_path_ = base + ".err";
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return;
    std::vector<std::string> words = {path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipe_ends[0], 0);
        const int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
        // Under AddressSanitizer freed memory waits in a quarantine of up to 256 MB: kept small, so
        // that a memory bound measures what the program holds.
        if (const char *sanitizer = std::getenv("ASAN_OPTIONS"))
            setenv("ASAN_OPTIONS", (std::string(sanitizer) + ":quarantine_size_mb=4").c_str(), 1);
        std::vector<char *> argv;
        for (std::string &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    ::close(pipe_ends[0]);
    input_ = pipe_ends[1];
}

Process::~Process() {
    if (running())
        stop(SIGKILL);
    ::close(input_);
    std::remove(out_path_.c_str());
    std::remove(err_path_.c_str());
}

bool Process::running() {
    if (pid_ <= 0 || exit_code_ >= 0)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_)
        return true;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

void Process::send_line(const std::string &line) { send_all(input_, line + "\n"); }

int Process::stop(int signal_number, int milliseconds) {
    if (running())
        kill(pid_, signal_number);
    testing_support::wait_until([&] { return !running(); }, milliseconds);
    return exit_code_;
}

std::string Process::out() const { return file_text(out_path_); }
std::string Process::err() const { return file_text(err_path_); }

bool Process::wait_for_output(const std::string &text, int milliseconds) const {
    return testing_support::wait_until([&] { return out().find(text) != std::string::npos; }, milliseconds);
}

long Process::resident_kb() const {
    const std::string status = file_text("/proc/" + std::to_string(pid_) + "/status");
    const size_t at = status.find("VmRSS:");
    return at == std::string::npos ? -1 : std::strtol(status.c_str() + at + 6, nullptr, 10);
}

long Process::memcheck_slack_kb() {
    const char *instead = std::getenv("ORLEX_WEB_PROGRAM");
    return instead && *instead ? 32 * 1024 : 0;
}

// ORLEX_WEB_PROGRAM stands in for the built gateway: scripts/test-web-valgrind.sh runs it under valgrind.
static std::string gateway_program() {
    const char *instead = std::getenv("ORLEX_WEB_PROGRAM");
    return instead && *instead ? instead : ORLEX_WEB_PATH;
}

Gateway::Gateway(const std::vector<std::string> &arguments, const std::string &program)
    : process_(program.empty() ? gateway_program() : program, [&] {
          std::vector<std::string> all = arguments;
          all.insert(all.end(), {"--listen", "127.0.0.1:0"});
          return all;
      }()) {
    const std::string marker = "dashboard at http://127.0.0.1:";
    if (process_.wait_for_output(marker)) {
        const std::string out = process_.out();
        port_ = std::atoi(out.c_str() + out.find(marker) + marker.size());
    }
}

SimServer::SimServer(const std::string &game, int bots, int plugin_port, const std::vector<std::string> &more)
    : plugin_port_(plugin_port > 0 ? plugin_port : testing_support::free_port()) {
    arguments_ = {"--game",
                  game,
                  "--bots",
                  std::to_string(bots),
                  "--fps",
                  "50",
                  "--quiet",
                  "--set",
                  "orlex_mm_port=" + std::to_string(plugin_port_)};
    arguments_.insert(arguments_.end(), more.begin(), more.end());
    restart();
}

void SimServer::restart() {
    process_.reset();
    process_ = std::make_unique<Process>(ORLEX_SIMHOST_PATH, arguments_);
}

std::string HttpReply::header(const std::string &name) const {
    const std::string wanted = "\r\n" + name + ": ";
    const size_t at = head.find(wanted);
    if (at == std::string::npos)
        return "";
    const size_t start = at + wanted.size();
    return head.substr(start, head.find("\r\n", start) - start);
}

// A whole answer: its head, and as much body as it says it has (none for HEAD).
bool whole_answer(const std::string &bytes, bool head_only) {
    const size_t end = bytes.find("\r\n\r\n");
    if (end == std::string::npos)
        return false;
    const size_t length = bytes.find("\r\nContent-Length: ");
    return head_only || (length < end && bytes.size() - end - 4 >= std::stoul(bytes.substr(length + 18)));
}

// A chunked body as its bytes; what does not parse ends it.
std::string unchunked(const std::string &body) {
    std::string whole;
    size_t at = 0;
    while (at < body.size()) {
        const size_t line_end = body.find("\r\n", at);
        if (line_end == std::string::npos)
            break;
        const size_t size = std::strtoul(body.c_str() + at, nullptr, 16);
        if (size == 0 || line_end + 2 + size > body.size())
            break;
        whole.append(body, line_end + 2, size);
        at = line_end + 2 + size + 2;
    }
    return whole;
}

HttpReply http_exchange(int port, const std::string &request) {
    HttpReply reply;
    const int fd = connect_loopback(port, 0);
    if (fd < 0)
        return reply;
    std::string bytes;
    if (send_all(fd, request))
        for (const auto deadline = Clock::now() + std::chrono::milliseconds(kWait);
             Clock::now() < deadline && !whole_answer(bytes, request.compare(0, 5, "HEAD ") == 0) &&
             receive_some(fd, &bytes, 100);)
            ;
    ::close(fd);
    const size_t end = bytes.find("\r\n\r\n");
    if (bytes.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos)
        return reply;
    reply.status = std::atoi(bytes.c_str() + 9);
    reply.head = bytes.substr(0, end + 2);
    reply.body = bytes.substr(end + 4);
    if (reply.head.find("\r\nTransfer-Encoding: chunked\r\n") != std::string::npos)
        reply.body = unchunked(reply.body);
    return reply;
}

HttpReply http_get(int port, const std::string &target, const std::string &more_headers) {
    return http_exchange(
        port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + more_headers + "\r\n");
}

Viewer::Viewer(int port, const std::string &more_headers, int receive_buffer) {
    fd_ = connect_loopback(port, receive_buffer);
    const std::string request = "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n" +
                                more_headers + "\r\n";
    if (fd_ < 0 || !send_all(fd_, request))
        return;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWait);
    while (pending_.find("\r\n\r\n") == std::string::npos && Clock::now() < deadline &&
           receive_some(fd_, &pending_, 100))
        ;
    const size_t end = pending_.find("\r\n\r\n");
    if (end == std::string::npos)
        return;
    status_ = std::atoi(pending_.c_str() + 9);
    open_ = status_ == 101;
    pending_.erase(0, end + 4);
}

Viewer::~Viewer() { ::close(fd_); }

// A client's frames are masked; these are all short.
void Viewer::send_frame(char opcode, const std::string &payload) {
    std::string frame = {static_cast<char>(0x80 | opcode), static_cast<char>(0x80 | payload.size()), 1, 2, 3, 4};
    for (size_t at = 0; at < payload.size(); ++at)
        frame += static_cast<char>(payload[at] ^ frame[2 + at % 4]);
    send_all(fd_, frame);
}

void Viewer::watch(const std::string &name) { send_frame(1, "{\"watch\":\"" + name + "\"}"); }

void Viewer::send_text(const std::string &message) { send_frame(1, message); }

void Viewer::pong(const std::string &payload) { send_frame(10, payload); }

bool Viewer::next(std::string *message, int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (pending_.size() >= 2) {
            const unsigned char opcode = static_cast<unsigned char>(pending_[0]) & 0x0f;
            size_t length = static_cast<unsigned char>(pending_[1]) & 0x7f, head = 2;
            if (length == 126 && pending_.size() >= 4) {
                length = (static_cast<unsigned char>(pending_[2]) << 8) | static_cast<unsigned char>(pending_[3]);
                head = 4;
            } else if (length == 127 && pending_.size() >= 10) {
                length = 0;
                for (int at = 2; at < 10; ++at)
                    length = (length << 8) | static_cast<unsigned char>(pending_[at]);
                head = 10;
            }
            if ((length < 126 || head > 2) && pending_.size() >= head + length) {
                const bool last = (static_cast<unsigned char>(pending_[0]) & 0x80) != 0;
                const std::string payload = pending_.substr(head, length);
                pending_.erase(0, head + length);
                if (opcode == 8)
                    return false;
                if (opcode == 9)
                    pong(payload);
                if (opcode == 1 || opcode == 0)  // a text message may come in fragments
                    fragments_ += payload;
                if ((opcode == 1 || opcode == 0) && last) {
                    *message = std::move(fragments_);
                    fragments_.clear();
                    return true;
                }
                continue;
            }
        }
        if (Clock::now() >= deadline || !receive_some(fd_, &pending_, std::min(100, remaining(deadline))))
            return false;
    }
}

bool Viewer::wait_for_state(const std::string &text, int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::string message;
    while (next(&message, remaining(deadline)))
        if (message.compare(0, 16, "{\"type\":\"state\",") == 0 && message.find(text) != std::string::npos)
            return true;
    return false;
}

bool Viewer::closed_by_gateway(int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::string drained;
    while (Clock::now() < deadline) {
        if (!receive_some(fd_, &drained, 100))
            return true;
        drained.clear();
    }
    return false;
}

FakePlugin::FakePlugin() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr *>(&address), size) == 0 && listen(listener_, 4) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port_ = ntohs(address.sin_port);
}

FakePlugin::~FakePlugin() {
    ::close(client_);
    ::close(listener_);
}

bool FakePlugin::accept_gateway(int milliseconds) {
    pollfd ready = {listener_, POLLIN, 0};
    if (poll(&ready, 1, milliseconds) <= 0)
        return false;
    ::close(client_);
    client_ = accept(listener_, nullptr, nullptr);
    return client_ >= 0;
}

bool FakePlugin::send(const std::string &bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t count = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0)
            return false;
        sent += static_cast<size_t>(count);
    }
    return true;
}

bool FakePlugin::send_until_dropped(const std::string &bytes, size_t most) {
    for (size_t sent = 0; sent < most;) {
        const ssize_t count = ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (count <= 0)
            return true;
        sent += static_cast<size_t>(count);
    }
    return false;
}

}  // namespace web_testing
