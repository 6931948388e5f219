// One watched server's remote console: the state machine behind Links (see rcon_link.h).
#pragma once

#include <array>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "web/config.h"
#include "web/rcon/password_file.h"
#include "web/rcon/rcon_link.h"

namespace web::rcon {

// How the link paces and bounds its work.
struct LinkLimits {
    std::chrono::milliseconds wait{2000};    // for a challenge, and for a whole answer
    std::chrono::milliseconds quiet{300};    // without a datagram ends an answer
    std::chrono::milliseconds window{1000};  // in which at most two datagrams go out
    size_t largest_answer = size_t{64} * 1024;
    size_t queue = 16;
};

class ServerLink : public std::enable_shared_from_this<ServerLink> {
public:
    using Done = std::function<void(Answer)>;

    ServerLink(boost::asio::io_context &io, std::string name);
    void configure(const ServerAddress &server);
    void set_game_port(int port);
    // Reads the password file again when it changed.
    void check_password_file();
    LinkState state() const;
    void send(std::string command, Done done);
    // Everything queued is answered `stopped`; nothing more is sent.
    void close();

private:
    enum class Phase { idle, resolving, challenge, answer };
    struct Pending {
        std::string command;
        Done done;
    };

    void update_target();
    void resolve();
    void pump();
    void start(Pending pending);
    void request_challenge();
    void send_command();
    void transmit(std::string bytes);
    void receive();
    void on_datagram(const char *data, size_t size);
    void on_print(const std::string &text);
    void arm_deadline();
    void arm_quiet();
    void finish(Answer::Outcome outcome, std::string output = std::string());
    void stop_all(LinkState why);
    void answer_later(Done done, Answer::Outcome outcome, std::string output = std::string());
    void note(const std::string &what) const;

    boost::asio::io_context &io_;
    std::string name_;
    boost::asio::ip::udp::socket socket_;
    boost::asio::ip::udp::resolver resolver_;
    boost::asio::steady_timer pace_timer_, deadline_timer_, quiet_timer_;
    LinkLimits limits_;
    PasswordFile password_file_;
    std::string watched_host_;
    std::string rcon_setting_;
    int game_port_ = 0;
    std::string target_;  // "HOST:PORT" being resolved or reached; empty: not known yet
    boost::asio::ip::udp::endpoint endpoint_;
    bool have_endpoint_ = false;
    bool banned_ = false;
    bool closed_ = false;
    std::string refused_password_;  // set while the password in the file was refused
    bool refused_ = false;
    std::string challenge_;
    std::deque<Pending> queue_;
    Phase phase_ = Phase::idle;
    Pending current_;
    bool retried_ = false;
    std::string collected_;
    bool answered_ = false;                                   // a datagram of the current answer came
    std::deque<std::chrono::steady_clock::time_point> sent_;  // the last two sends
    std::array<char, 2048> buffer_{};
    boost::asio::ip::udp::endpoint sender_;
};

}  // namespace web::rcon
