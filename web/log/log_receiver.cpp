#include "web/log/log_receiver.h"

#include <cstdio>

#include "web/log/log_secrets.h"

namespace web::log {
namespace {

using boost::asio::ip::udp;
using error_code = boost::system::error_code;

constexpr std::chrono::seconds kForeignNoteInterval{60};

// "HOST:PORT" with the port in range; false for anything else.
bool split_host_port(const std::string &text, std::string *host, int *port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    *host = text.substr(0, colon);
    if (host->size() > 2 && host->front() == '[' && host->back() == ']')
        *host = host->substr(1, host->size() - 2);
    return parse_port(text.substr(colon + 1), port);
}

// An IPv4 sender of a dual-stack socket, as the IPv4 address it is.
std::string plain_address(const boost::asio::ip::address &address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6()).to_string();
    return address.to_string();
}

}  // namespace

LogReceiver::LogReceiver(boost::asio::io_context &io, Deliver deliver, Malformed malformed)
    : socket_(io), resolver_(io), deliver_(std::move(deliver)), malformed_(std::move(malformed)) {}

bool LogReceiver::start(const std::string &listen, std::string *error) {
    std::string host;
    int port = 0;
    const bool any_port = listen.size() > 2 && listen.compare(listen.size() - 2, 2, ":0") == 0;
    if (any_port)
        host = listen.substr(0, listen.size() - 2);
    if (!any_port && !split_host_port(listen, &host, &port)) {
        *error = "--log-listen needs ADDR:PORT, not '" + listen + "'";
        return false;
    }
    error_code failure;
    const boost::asio::ip::address address = boost::asio::ip::make_address(host, failure);
    if (failure) {
        *error = "--log-listen: '" + host + "' is not an IP address";
        return false;
    }
    const udp::endpoint endpoint(address, static_cast<unsigned short>(port));
    socket_.open(endpoint.protocol(), failure);
    if (!failure)
        socket_.bind(endpoint, failure);
    if (failure) {
        *error = "--log-listen " + listen + ": " + failure.message();
        return false;
    }
    receive();
    return true;
}

void LogReceiver::stop() {
    stopped_ = true;
    error_code ignored;
    socket_.close(ignored);
    resolver_.cancel();
}

int LogReceiver::port() const {
    error_code ignored;
    return socket_.local_endpoint(ignored).port();
}

void LogReceiver::watch(const ServerAddress &server) {
    ++generation_[server.name];
    const std::string log_source = server.setting("log");
    std::string host;
    int port = 0;
    if (!log_source.empty() && split_host_port(log_source, &host, &port))
        add_source(server.name, host, std::to_string(port), true);
    add_source(server.name, server.host, "0", false);
}

void LogReceiver::forget(const std::string &name) {
    generation_.erase(name);
    for (auto it = exact_.begin(); it != exact_.end();)
        it = it->second == name ? exact_.erase(it) : std::next(it);
    for (auto it = by_host_.begin(); it != by_host_.end();) {
        it->second.erase(name);
        it = it->second.empty() ? by_host_.erase(it) : std::next(it);
    }
}

void LogReceiver::add_source(const std::string &name, const std::string &host, const std::string &port, bool exact) {
    // A numeric address is taken at once: the resolver's round trip would drop the first datagrams.
    error_code not_numeric;
    const boost::asio::ip::address numeric = boost::asio::ip::make_address(host, not_numeric);
    if (!not_numeric) {
        remember_source(name, plain_address(numeric), port, exact);
        return;
    }
    const uint64_t generation = generation_[name];
    resolver_.async_resolve(
        host, port, [this, name, generation, exact](error_code error, const udp::resolver::results_type &results) {
            const auto current = generation_.find(name);
            if (error || stopped_ || current == generation_.end() || current->second != generation)
                return;
            for (const auto &entry : results) {
                const udp::endpoint endpoint = entry.endpoint();
                remember_source(name, plain_address(endpoint.address()), std::to_string(endpoint.port()), exact);
            }
        });
}

void LogReceiver::remember_source(const std::string &name, const std::string &address, const std::string &port,
                                  bool exact) {
    if (exact)
        exact_[address + ":" + port] = name;
    else
        by_host_[address].insert(name);
}

void LogReceiver::receive() {
    socket_.async_receive_from(boost::asio::buffer(buffer_), sender_, [this](error_code error, size_t size) {
        if (stopped_ || error == boost::asio::error::operation_aborted)
            return;
        if (!error)
            received(size);
        receive();
    });
}

const std::string *LogReceiver::sender_name() const {
    const std::string address = plain_address(sender_.address());
    const auto exact = exact_.find(address + ":" + std::to_string(sender_.port()));
    if (exact != exact_.end())
        return &exact->second;
    const auto host = by_host_.find(address);
    return host == by_host_.end() || host->second.size() != 1 ? nullptr : &*host->second.begin();
}

bool LogReceiver::sender_shared() const {
    const auto host = by_host_.find(plain_address(sender_.address()));
    return host != by_host_.end() && host->second.size() > 1;
}

void LogReceiver::received(size_t size) {
    ++counters_.datagrams;
    const std::string *name = sender_name();
    if (!name)
        return sender_shared() ? note_ambiguous() : note_foreign();
    std::string text;
    if (!log_datagram_text(buffer_.data(), size, &text)) {
        ++counters_.malformed;
        if (malformed_)
            malformed_(*name);
        return;
    }
    deliver_(*name, scrub_log_secrets(text));
}

void LogReceiver::note_foreign() {
    ++counters_.foreign;
    const auto now = std::chrono::steady_clock::now();
    if (foreign_noted_ != std::chrono::steady_clock::time_point() && now - foreign_noted_ < kForeignNoteInterval)
        return;
    std::fprintf(stderr,
                 "orlex_web: log datagrams from addresses no watched server has: %llu dropped (latest from %s)\n",
                 static_cast<unsigned long long>(counters_.foreign - foreign_at_note_),
                 plain_address(sender_.address()).c_str());
    foreign_noted_ = now;
    foreign_at_note_ = counters_.foreign;
}

void LogReceiver::note_ambiguous() {
    ++counters_.ambiguous;
    const auto now = std::chrono::steady_clock::now();
    if (ambiguous_noted_ != std::chrono::steady_clock::time_point() && now - ambiguous_noted_ < kForeignNoteInterval)
        return;
    std::fprintf(stderr,
                 "orlex_web: log datagrams from %s, where several watched servers are, dropped: give each of "
                 "their lines a log=HOST:PORT setting\n",
                 plain_address(sender_.address()).c_str());
    ambiguous_noted_ = now;
}

std::string LogReceiver::metrics_text() const {
    std::string text;
    const auto family = [&text](const char *name, const char *help, uint64_t value) {
        text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " counter\n" + name + " " +
                std::to_string(value) + "\n";
    };
    family("orlex_log_datagrams_total", "Log datagrams received on --log-listen.", counters_.datagrams);
    family("orlex_log_foreign_datagrams_total", "Log datagrams dropped: from no watched server's address.",
           counters_.foreign);
    family("orlex_log_malformed_datagrams_total", "Datagrams from a watched server that were not log lines.",
           counters_.malformed);
    family("orlex_log_ambiguous_datagrams_total",
           "Log datagrams dropped: from a host several watched servers share, with no log= setting of its port.",
           counters_.ambiguous);
    return text;
}

}  // namespace web::log
