// One watched server's connection: an ordinary admin client of its plug-in. Connects, folds what
// arrives, and when the server is down, refuses, closes, stalls or misbehaves, drops the link and
// tries again after a backoff, on the shared event loop.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <array>
#include <functional>
#include <memory>

#include "web/backoff.h"
#include "web/limits_check.h"
#include "web/record_pipeline.h"
#include "web/recorder.h"
#include "web/server_fold.h"
#include "web/source.h"

namespace web {

class Upstream : public Source, public std::enable_shared_from_this<Upstream> {
public:
    // The server record comes every few seconds: this long without a byte is a dead link.
    static constexpr std::chrono::seconds kSilence{90};
    static constexpr std::chrono::seconds kConnectTime{10};

    // With a recorder, every record received is also recorded.
    Upstream(boost::asio::io_context &io, const ServerAddress &address, size_t chat_lines, Listener listener,
             Recorder *recorder = nullptr);
    void start() override;
    // Closes the connection for good; the listener is not called again.
    void stop() override;
    const ServerFold &fold() const override { return fold_; }
    ServerFold *log_fold() override { return &fold_; }
    // Where each record is looked at before it is folded or recorded.
    RecordPipeline &pipeline() { return pipeline_; }

private:
    void resolve();
    void connect(const boost::asio::ip::tcp::resolver::results_type &endpoints);
    void connected();
    void read();
    void received(size_t size);
    void drop(const std::string &reason);
    void retry();
    void arm_silence(std::chrono::seconds limit);
    void tell();
    void log_connected(const char *how);

    boost::asio::ip::tcp::resolver resolver_;
    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer retry_timer_;
    boost::asio::steady_timer silence_timer_;
    std::array<char, 65536> buffer_;
    ServerFold fold_;
    ServerState &state_;      // fold_'s
    LinkCounters &counters_;  // fold_'s
    std::unique_ptr<RecordingTap> recording_;
    LimitsCheck limits_;
    RecordPipeline pipeline_;
    Listener listener_;
    Backoff backoff_;
    bool stopped_ = false;
    bool waiting_ = false;  // dropped, the next attempt scheduled
    bool ever_connected_ = false;
    std::string reported_problem_;  // the last one logged: a server down for hours logs once
    bool flapping_ = false;         // its links keep falling before they are steady: not logged each time
};

}  // namespace web
