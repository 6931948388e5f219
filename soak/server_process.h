// A program as a child process (the simulated server, the gateway): its console on our pipe to its
// standard input, its answers read line by line from its standard output; its standard error
// inherited, or into a file.
#pragma once

#include <sys/types.h>

#include <boost/asio.hpp>
#include <functional>
#include <string>
#include <vector>

namespace soak {

class ServerProcess {
public:
    using LineHandler = std::function<void(const std::string &line)>;

    // Starts the program (the first word) with its arguments; every line it prints goes to the handler,
    // what it reports on its standard error to error_file when one is named.
    ServerProcess(boost::asio::io_context &io, const std::vector<std::string> &command, LineHandler on_line,
                  const std::string &error_file = "");
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // A console line; the newline is added.
    void type(const std::string &line);
    // Sends it a signal (SIGTERM: the gateway's own clean stop), if it still runs.
    void signal(int number);
    // Whether the process has ended, without waiting; its exit status once it has.
    bool ended(int *status = nullptr);
    // Waits at most the time for the end; false if it is still running (it is then killed).
    bool wait_for_end(int seconds, int *status);

private:
    void read_lines();

    boost::asio::posix::stream_descriptor console_;
    boost::asio::posix::stream_descriptor output_;
    boost::asio::streambuf pending_;
    LineHandler on_line_;
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
};

}  // namespace soak
