// The program under test run in the background, and a listening socket on 127.0.0.1 standing in for
// the plug-in. Every wait is bounded.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace client_tests {

class FakeServer {
public:
    FakeServer();  // listens on a port the kernel picks
    ~FakeServer();
    int port() const { return port_; }
    bool accept_client(int milliseconds);
    bool send(const std::string &bytes);
    // The bytes of one read; "" when none come in time.
    std::string read(int milliseconds);
    // Ends the stream after what was sent, as the plug-in does when it drops a client.
    void hang_up();

private:
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
};

// The program run in the background, its output going to files. A program still running when
// its test ends is left to end with its connection (or to be killed after a minute at most).
class Program {
public:
    explicit Program(const std::vector<std::string> &arguments);
    ~Program();
    bool wait_for_output(const std::string &text, int milliseconds);
    bool wait_for_exit(int milliseconds);
    int exit_code() const { return *exit_code_; }
    std::string out() const;
    std::string err() const;

private:
    std::string out_path_, err_path_;
    std::shared_ptr<std::atomic<int>> exit_code_;  // -1 while running; shared with the waiting thread
};

}  // namespace client_tests
