// One page's WebSocket: the server list and the chosen server's state pushed as they change. Each
// push is a whole state, so a newer one replaces the one waiting: a slow page gets fewer states,
// never an older one, and holds at most three. Its socket's kernel buffer is kept small, so that a
// page that never reads holds a few tens of kB there too. A page whose socket has taken nothing for
// kLongestStall, or for kBehindStall while more than kMostStatesBehind newer states came, is cut off. The page only
// chooses what to watch.
#pragma once

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/websocket/stream.hpp>

#include <chrono>
#include <memory>
#include <string>

#include "web/access/users.h"
#include "web/client_limits.h"
#include "web/closable.h"

namespace web {

class Gateway;

class Viewer final : public std::enable_shared_from_this<Viewer>, public Closable {
public:
    static constexpr std::chrono::seconds kLongestStall{10};
    // A page that has taken no state for seconds while many newer ones came stays behind; the
    // time keeps a page that reads from being cut off by a server flooding it with states.
    static constexpr size_t kMostStatesBehind = 8;
    static constexpr std::chrono::seconds kBehindStall{3};
    // Asked of the kernel for each viewer's socket (Linux doubles it for its bookkeeping): a state
    // in flight, some 150 kB/s to a page across the world: several states a second.
    static constexpr int kSendBuffer = 16 * 1024;
    static constexpr std::chrono::seconds kCloseAnswerTime{1};  // after a withdrawal's close frame
    static constexpr size_t kLongestMessage = 1024;             // a page sends {"watch":"NAME"} or a replay control

    // `slot` is its place among its client's WebSockets, given back as it ends. `user` is who opened
    // it (none when the gateway has no users); a public page sees the delayed view only.
    Viewer(boost::beast::tcp_stream &&stream, Gateway &gateway, ClientLimits::Slot slot, access::User user = {},
           bool is_public = false);
    ~Viewer();
    // Completes the upgrade the request asks for, then pushes the server list.
    void run(boost::beast::http::request<boost::beast::http::empty_body> request);

    const std::string &watching() const { return watching_; }
    const access::User &user() const { return user_; }
    bool is_public() const { return public_; }
    // A state of the public view: pushed unless it is the one pushed last.
    void push_state_once(std::shared_ptr<const std::string> message);
    // Its user lost this access: closed with the reason in the close frame (after the write under
    // way, if any), so that the page can say why.
    void withdraw(const std::string &reason);
    void push_list(std::shared_ptr<const std::string> message);
    void push_state(std::shared_ptr<const std::string> message);
    // Ends the connection (too far behind, or the gateway stops): at once for new pushes, the
    // socket itself from the event loop, so that nothing a push or broadcast is iterating changes.
    void close_now() override;

private:
    using Message = std::shared_ptr<const std::string>;
    void read();
    void take(const std::string &text);
    void push(Message &slot, Message message);
    // True when it was cut off for taking too little.
    bool cut_off_when_behind();
    void write_next();
    void close_socket();

    boost::beast::websocket::stream<boost::beast::tcp_stream> socket_;
    Gateway &gateway_;
    boost::beast::flat_buffer incoming_;
    std::string watching_;
    Message list_, state_;  // waiting to be written, newest only
    Message writing_;       // held until its write completes
    std::chrono::steady_clock::time_point write_started_;
    size_t states_behind_ = 0;  // states pushed since the write waiting began
    bool open_ = false;
    bool closing_ = false;
    bool abandoned_ = false;  // cut off for taking too little
    ClientLimits::Slot slot_;
    access::User user_;
    bool public_ = false;
    Message pushed_last_;    // of the public view
    std::string withdrawn_;  // the reason, once withdrawn
};

}  // namespace web
