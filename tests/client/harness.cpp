#include "client/harness.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/sockets.h"

namespace client_tests {
namespace {

bool readable(int fd, int milliseconds) {
    pollfd ready = {fd, POLLIN, 0};
    return poll(&ready, 1, milliseconds) > 0;
}

std::string file_text(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// One shell word, whatever the argument holds.
std::string quoted(const std::string &argument) {
    std::string text = "'";
    for (char byte : argument)
        text += byte == '\'' ? std::string("'\\''") : std::string(1, byte);
    return text + "'";
}

}  // namespace

FakeServer::FakeServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr *>(&address), size) == 0 && listen(listener_, 1) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port_ = ntohs(address.sin_port);
}

FakeServer::~FakeServer() {
    close(client_);
    close(listener_);
}

bool FakeServer::accept_client(int milliseconds) {
    if (readable(listener_, milliseconds))
        client_ = accept(listener_, nullptr, nullptr);
    return client_ >= 0;
}

bool FakeServer::send(const std::string &bytes) {
    return ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

std::string FakeServer::read(int milliseconds) {
    char buffer[4096];
    const ssize_t count = readable(client_, milliseconds) ? recv(client_, buffer, sizeof(buffer), 0) : 0;
    return std::string(buffer, count > 0 ? static_cast<size_t>(count) : 0);
}

void FakeServer::hang_up() { shutdown(client_, SHUT_WR); }

Program::Program(const std::vector<std::string> &arguments) {
    static std::atomic<int> count{0};
    const std::string base = "/tmp/orlex_client_test_" + std::to_string(getpid()) + "_" + std::to_string(count++);
    out_path_ = base + ".out";
    err_path_ = base + ".err";
    // Through the emulator first where the build's programs need one.
    std::string command = std::string("timeout -s KILL 60 ") + ORLEX_CLIENT_LAUNCHER + " " + quoted(ORLEX_CLIENT_PATH);
    for (const std::string &argument : arguments)
        command += " " + quoted(argument);
    command += " >" + out_path_ + " 2>" + err_path_;
    exit_code_ = std::make_shared<std::atomic<int>>(-1);
    std::thread([exit_code = exit_code_, command] {
        const int status = std::system(command.c_str());
        *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    }).detach();
}

Program::~Program() {
    std::remove(out_path_.c_str());
    std::remove(err_path_.c_str());
}

bool Program::wait_for_output(const std::string &text, int milliseconds) {
    return testing_support::wait_until([&] { return out().find(text) != std::string::npos; }, milliseconds);
}

bool Program::wait_for_exit(int milliseconds) {
    return testing_support::wait_until([&] { return *exit_code_ >= 0; }, milliseconds);
}

std::string Program::out() const { return file_text(out_path_); }
std::string Program::err() const { return file_text(err_path_); }

}  // namespace client_tests
