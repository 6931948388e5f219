// The gateway and the simulated server as real processes, and the clients the tests use against
// them: plain HTTP requests and a small WebSocket viewer on real loopback sockets. Waits are bounded.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace web_testing {

const int kWait = 30000;  // the longest a step may take: generous, never reached when all is well

// A folder of the test's own under /tmp, removed with what is in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Stands in for a plug-in: the gateway connects to it and gets whatever the test sends.
class FakePlugin {
public:
    FakePlugin();
    ~FakePlugin();
    FakePlugin(const FakePlugin &) = delete;
    FakePlugin &operator=(const FakePlugin &) = delete;

    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    bool accept_gateway(int milliseconds = kWait);
    // False once the gateway has closed the connection.
    bool send(const std::string &bytes);
    // Sends the bytes again and again until the gateway hangs up; false when it took `most` bytes.
    bool send_until_dropped(const std::string &bytes, size_t most);

private:
    int listener_ = -1, client_ = -1, port_ = 0;
};

class Process {
public:
    // Starts the program; its standard output and error go to files, its input is a pipe.
    Process(const std::string &path, const std::vector<std::string> &arguments);
    ~Process();  // killed if still running
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    void send_line(const std::string &line);
    // Sends the signal and waits for the end; the exit code, or -1 when it did not end in time.
    int stop(int signal_number, int milliseconds = kWait);
    std::string out() const;
    std::string err() const;
    bool wait_for_output(const std::string &text, int milliseconds = kWait) const;
    // Resident memory now, in kB.
    long resident_kb() const;
    // What a gateway under valgrind holds besides its own memory: freed blocks wait in memcheck's
    // 20 MB quarantine before they are used again. None for the gateway run as it is.
    static long memcheck_slack_kb();

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int exit_code_ = -1;
    std::string out_path_, err_path_;
};

// orlex_web watching the given arguments' servers, on a port the kernel picked; `program` is
// another build of it (the slow-disk one).
class Gateway {
public:
    explicit Gateway(const std::vector<std::string> &arguments, const std::string &program = "");
    int port() const { return port_; }
    Process &process() { return process_; }

private:
    Process process_;
    int port_ = 0;
};

// orlex_simhost with the built plug-in, its plug-in on a port of its own.
class SimServer {
public:
    // `more`: further options (a speed, console commands).
    SimServer(const std::string &game, int bots, int plugin_port = 0, const std::vector<std::string> &more = {});
    int plugin_port() const { return plugin_port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(plugin_port_); }
    Process &process() { return *process_; }
    void restart();

private:
    std::vector<std::string> arguments_;
    int plugin_port_;
    std::unique_ptr<Process> process_;
};

struct HttpReply {
    int status = 0;  // 0: no answer
    std::string head;
    std::string body;
    std::string header(const std::string &name) const;
};

// One request on its own connection, exactly these bytes; the answer read until the server closes.
HttpReply http_exchange(int port, const std::string &request);
HttpReply http_get(int port, const std::string &target, const std::string &more_headers = "");

// A WebSocket viewer: upgrades, says which server it watches, reads pushed messages.
class Viewer {
public:
    Viewer(int port, const std::string &more_headers = "", int receive_buffer = 0);
    ~Viewer();
    bool open() const { return open_; }
    int status() const { return status_; }  // of the upgrade's answer
    void watch(const std::string &name);
    // Any message a page may send, e.g. a replay control.
    void send_text(const std::string &message);
    // The next text message within the time; false when none came or the gateway closed.
    bool next(std::string *message, int milliseconds = kWait);
    // Reads until a state message with this in it arrives.
    bool wait_for_state(const std::string &text, int milliseconds = kWait);
    bool closed_by_gateway(int milliseconds);
    int fd() const { return fd_; }

private:
    void send_frame(char opcode, const std::string &payload);
    void pong(const std::string &payload);

    int fd_ = -1;
    bool open_ = false;
    int status_ = 0;
    std::string pending_;
    std::string fragments_;
};

}  // namespace web_testing
