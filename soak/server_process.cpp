#include "soak/server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace soak {

namespace asio = boost::asio;

namespace {

pid_t start_child(const std::vector<std::string> &command, int console[2], int output[2],
                  const std::string &error_file) {
    if (command.empty() || pipe(console) != 0)
        return -1;
    if (pipe(output) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a run that is killed leaves nothing running behind it
    dup2(console[0], STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    if (!error_file.empty()) {
        const int errors = open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errors >= 0)
            dup2(errors, STDERR_FILENO);
    }
    // Nothing else of ours: sockets held by the caller would count among the child's descriptors.
    close_range(STDERR_FILENO + 1, ~0U, 0);
    std::vector<char *> words;
    for (const std::string &word : command)
        words.push_back(const_cast<char *>(word.c_str()));
    words.push_back(nullptr);
    execvp(words[0], words.data());
    _exit(127);
}

}  // namespace

ServerProcess::ServerProcess(asio::io_context &io, const std::vector<std::string> &command, LineHandler on_line,
                             const std::string &error_file)
    : console_(io), output_(io), on_line_(std::move(on_line)) {
    int console[2] = {-1, -1}, output[2] = {-1, -1};
    pid_ = start_child(command, console, output, error_file);
    if (pid_ <= 0)
        return;
    close(console[0]);
    close(output[1]);
    console_.assign(console[1]);
    output_.assign(output[0]);
    read_lines();
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0 && !ended()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void ServerProcess::type(const std::string &line) {
    boost::system::error_code error;
    asio::write(console_, asio::buffer(line + "\n"), error);
}

void ServerProcess::read_lines() {
    asio::async_read_until(output_, pending_, '\n', [this](const boost::system::error_code &error, size_t length) {
        if (error)
            return;
        std::string line(asio::buffers_begin(pending_.data()), asio::buffers_begin(pending_.data()) + length - 1);
        pending_.consume(length);
        on_line_(line);
        read_lines();
    });
}

void ServerProcess::signal(int number) {
    if (pid_ > 0 && !ended())
        kill(pid_, number);
}

bool ServerProcess::ended(int *status) {
    if (!reaped_ && pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_)
        reaped_ = true;
    if (status)
        *status = status_;
    return reaped_;
}

bool ServerProcess::wait_for_end(int seconds, int *status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!ended(status)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            reaped_ = true;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace soak
