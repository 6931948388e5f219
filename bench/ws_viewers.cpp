#include "bench/ws_viewers.h"

#include <pthread.h>
#include <time.h>
#include <atomic>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <boost/json/parse.hpp>

#include <atomic>
#include <cstdlib>
#include <deque>
#include <future>
#include <string_view>

namespace bench {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

namespace {

const size_t kConnectingAtOnce = 32;  // per thread: the gateway's accept queue is not the subject

// The server a state is of and the records it reflects. The gateway writes the state's name first
// and its record count soon after ({"type":"state","state":{"name":"s7",...,"records":41,...);
// another order is read as JSON, slower.
bool state_of(std::string_view text, std::string *name, size_t *records) {
    static const std::string_view head = "{\"type\":\"state\",\"state\":{\"name\":\"";
    static const std::string_view count = ",\"records\":";
    if (text.substr(0, head.size()) == head) {
        const size_t name_end = text.find('"', head.size());
        const size_t at = text.find(count);
        if (name_end != std::string_view::npos && at != std::string_view::npos) {
            name->assign(text.substr(head.size(), name_end - head.size()));
            *records = std::strtoul(text.data() + at + count.size(), nullptr, 10);
            return true;
        }
    }
    if (text.find("\"state\"") == std::string_view::npos)
        return false;
    error_code error;
    const boost::json::value message = boost::json::parse(text, error);
    const boost::json::object *object = error ? nullptr : message.if_object();
    const boost::json::value *state = object ? object->if_contains("state") : nullptr;
    const boost::json::object *fields = state ? state->if_object() : nullptr;
    const boost::json::value *got_name = fields ? fields->if_contains("name") : nullptr;
    const boost::json::value *got_records = fields ? fields->if_contains("records") : nullptr;
    if (!got_name || !got_name->is_string() || !got_records || !got_records->is_int64())
        return false;
    name->assign(got_name->get_string().c_str());
    *records = static_cast<size_t>(got_records->get_int64());
    return true;
}

double milliseconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

struct ViewerPool::Lane {
    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> work{io.get_executor()};
    std::thread thread;
    clockid_t clock{};
    std::vector<std::shared_ptr<Session>> sessions;
    std::deque<std::shared_ptr<Session>> waiting;  // not yet connecting
    size_t connecting = 0;
    std::atomic<size_t> ready{0}, lost{0}, refused{0};
    ViewerFigures figures;  // touched on the lane's thread only
    void connect_more();
};

class ViewerPool::Session : public std::enable_shared_from_this<Session> {
    // The gateway allows at most 1,000 WebSockets per client address: this many viewers share one
    // loopback address (127.0.0.2, 127.0.0.3, ...).
    static constexpr unsigned kViewersPerAddress = 900;

    bool from_own_address() {
        static std::atomic<unsigned> opened{0};
        const unsigned host = 2 + (opened++ / kViewersPerAddress) % 250;
        error_code error;
        auto &socket = beast::get_lowest_layer(socket_).socket();
        socket.open(tcp::v4(), error);
        if (!error)
            socket.bind(tcp::endpoint(asio::ip::make_address_v4("127.0.0." + std::to_string(host)), 0), error);
        return !error;
    }

public:
    Session(Lane &lane, ViewerPool &pool, tcp::endpoint gateway, size_t server)
        : lane_(lane),
          pool_(pool),
          gateway_(gateway),
          server_(server),
          name_("s" + std::to_string(server)),
          watch_("{\"watch\":\"" + name_ + "\"}"),
          socket_(lane.io) {}

    void start() {
        if (!from_own_address())
            return lose();
        beast::get_lowest_layer(socket_).async_connect(gateway_, [self = shared_from_this()](error_code error) {
            if (error)
                return self->lose();
            self->socket_.async_handshake("127.0.0.1", "/ws", [self](error_code error) {
                if (error)
                    return self->lose();
                self->socket_.text(true);
                self->socket_.async_write(asio::buffer(self->watch_), [self](error_code error, size_t) {
                    if (error)
                        return self->lose();
                    self->started_reading_ = true;
                    --self->lane_.connecting;
                    self->lane_.connect_more();
                    self->read();
                });
            });
        });
    }

    // Records sent more than a second before `end` that no state has brought this viewer.
    void count_undelivered(Clock::time_point end, ViewerFigures &figures) const {
        if (!baseline_)
            return;
        const size_t sent = pool_.streams_.sent(server_);
        for (size_t record = seen_ + 1; record <= sent; ++record) {
            const Clock::time_point at = pool_.streams_.sent_at(server_, record);
            if (end - at < std::chrono::seconds(1))
                break;
            ++figures.undelivered;
            figures.delays_ms.push_back(milliseconds_between(at, end));
        }
    }

    void close() {
        error_code ignored;
        beast::get_lowest_layer(socket_).socket().close(ignored);
    }

private:
    void read() {
        socket_.async_read(incoming_, [self = shared_from_this()](error_code error, size_t) {
            if (error)
                return self->lose();
            const Clock::time_point arrived = Clock::now();
            const auto data = self->incoming_.data();
            self->take(std::string_view(static_cast<const char *>(data.data()), data.size()), arrived);
            self->incoming_.consume(self->incoming_.size());
            self->read();
        });
    }

    void take(std::string_view text, Clock::time_point arrived) {
        ViewerFigures &figures = lane_.figures;
        const bool measuring = pool_.measuring_.load(std::memory_order_relaxed);
        if (measuring)
            figures.bytes += text.size();
        size_t records = 0;
        if (!state_of(text, &scratch_name_, &records)) {
            if (measuring)
                ++figures.lists;
            return;
        }
        if (scratch_name_ != name_)
            return;
        if (!baseline_) {  // the state its watch brought: what came before is not delivery
            baseline_ = true;
            seen_ = records;
            ++lane_.ready;
            return;
        }
        if (measuring) {
            ++figures.states;
            const size_t sent = pool_.streams_.sent(server_);
            for (size_t record = seen_ + 1; record <= records && record <= sent; ++record)
                figures.delays_ms.push_back(milliseconds_between(pool_.streams_.sent_at(server_, record), arrived));
        }
        seen_ = std::max(seen_, records);
    }

    void lose() {
        if (lost_)
            return;
        lost_ = true;
        ++(baseline_ ? lane_.lost : lane_.refused);
        if (!started_reading_) {
            --lane_.connecting;
            lane_.connect_more();
        }
    }

    Lane &lane_;
    ViewerPool &pool_;
    tcp::endpoint gateway_;
    size_t server_;
    std::string name_, watch_, scratch_name_;
    websocket::stream<beast::tcp_stream> socket_;
    beast::flat_buffer incoming_;
    size_t seen_ = 0;
    bool baseline_ = false, lost_ = false;

public:
    bool started_reading_ = false;  // its connecting is over
};

void ViewerPool::Lane::connect_more() {
    while (connecting < kConnectingAtOnce && !waiting.empty()) {
        ++connecting;
        waiting.front()->start();
        waiting.pop_front();
    }
}

ViewerPool::ViewerPool(int gateway_port, size_t viewers, size_t threads, const PluginStreams &streams)
    : streams_(streams) {
    const tcp::endpoint gateway(asio::ip::address_v4::loopback(), static_cast<unsigned short>(gateway_port));
    for (size_t at = 0; at < std::max<size_t>(1, threads); ++at)
        lanes_.push_back(std::make_unique<Lane>());
    for (size_t viewer = 0; viewer < viewers; ++viewer) {
        Lane &lane = *lanes_[viewer % lanes_.size()];
        lane.sessions.push_back(std::make_shared<Session>(lane, *this, gateway, viewer % streams.size()));
        lane.waiting.push_back(lane.sessions.back());
    }
    for (auto &lane : lanes_) {
        Lane *raw = lane.get();
        raw->thread = std::thread([raw] { raw->io.run(); });
        pthread_getcpuclockid(raw->thread.native_handle(), &raw->clock);
    }
}

ViewerPool::~ViewerPool() {
    for (auto &lane : lanes_) {
        Lane *raw = lane.get();
        asio::post(raw->io, [raw] {
            for (auto &session : raw->sessions)
                session->close();
            raw->work.reset();
        });
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    for (auto &lane : lanes_) {
        while (!lane->io.stopped() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lane->io.stop();
        lane->thread.join();
    }
}

size_t ViewerPool::connect_all(std::chrono::seconds limit) {
    size_t wanted = 0;
    for (auto &lane : lanes_) {
        wanted += lane->sessions.size();
        Lane *raw = lane.get();
        asio::post(raw->io, [raw] { raw->connect_more(); });
    }
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        size_t ready = 0, lost = 0;
        for (auto &lane : lanes_) {
            ready += lane->ready;
            lost += lane->lost + lane->refused;
        }
        if (ready + lost >= wanted || Clock::now() > deadline)
            return ready;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

ViewerFigures ViewerPool::stop_measuring() {
    measuring_ = false;
    const Clock::time_point end = Clock::now();
    ViewerFigures all;
    for (auto &lane : lanes_) {
        Lane *raw = lane.get();
        std::promise<ViewerFigures> gathered;
        asio::post(raw->io, [raw, end, &gathered] {
            ViewerFigures figures = std::move(raw->figures);
            raw->figures = ViewerFigures();
            for (const auto &session : raw->sessions)
                session->count_undelivered(end, figures);
            figures.viewers_connected = raw->ready;
            figures.viewers_lost = raw->lost;
            figures.viewers_refused = raw->refused;
            gathered.set_value(std::move(figures));
        });
        ViewerFigures figures = gathered.get_future().get();
        all.delays_ms.insert(all.delays_ms.end(), figures.delays_ms.begin(), figures.delays_ms.end());
        all.states += figures.states;
        all.lists += figures.lists;
        all.bytes += figures.bytes;
        all.undelivered += figures.undelivered;
        all.viewers_connected += figures.viewers_connected;
        all.viewers_lost += figures.viewers_lost;
        all.viewers_refused += figures.viewers_refused;
    }
    return all;
}

double ViewerPool::cpu_seconds() const {
    double total = 0;
    for (const auto &lane : lanes_) {
        timespec used{};
        if (clock_gettime(lane->clock, &used) == 0)
            total += static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
    }
    return total;
}

}  // namespace bench
