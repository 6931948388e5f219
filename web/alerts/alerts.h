// --alerts FILE at work: the file read at start and again when it changes (a bad version logged,
// the old kept), chat records tapped from each watched server, the rules ticked once a second, and
// what they raise posted by the WebhookSender off the event loop. The latest alerts of each server
// are kept for the page.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/json/array.hpp>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "web/alerts/alert_rules.h"
#include "web/alerts/webhook_sender.h"
#include "web/record_pipeline.h"
#include "web/server_fold.h"

namespace web {

class Alerts {
public:
    static constexpr std::chrono::seconds kTick{1};
    static constexpr size_t kRecentPerServer = 20;
    // The live servers to look at, and who to tell when a server's alerts changed.
    using Servers = std::function<std::vector<const ServerFold *>()>;
    using Raised = std::function<void(const std::string &server)>;

    Alerts(boost::asio::io_context &io, std::string path, std::string ca_file, Servers servers, Raised raised);
    ~Alerts();
    // Reads the file; false with the reason when its first version is not usable.
    bool start(std::string *error);
    void stop();

    // A record of the server's stream, after it was folded.
    void take(const ServerFold &server, const records::Record &record);
    // The server's latest alerts, oldest first.
    boost::json::array recent(const std::string &server) const;
    // Whether a chat line of the server is one a chat rule raises an alert for (the page marks it).
    bool matches_chat(const std::string &server, const std::string &line,
                      const std::vector<view::Player> &players) const;
    // For /metrics.
    std::string metrics_text() const;

private:
    bool read_file(std::string *error);
    void check();
    void raise(const Alert &alert, const Webhook &hook);

    boost::asio::steady_timer timer_;
    std::string path_;
    std::string ca_file_;
    Servers servers_;
    Raised raised_;
    std::string text_;
    AlertRules rules_;
    std::unique_ptr<WebhookSender> sender_;
    std::map<std::string, std::deque<Alert>> recent_;
};

// Hands the server's records to the alerts, as a subscriber of its pipeline after the fold.
class AlertTap final : public RecordSubscriber {
public:
    AlertTap(Alerts &alerts, const ServerFold &server) : alerts_(alerts), server_(server) {}
    void take(const records::Record &record, Clock::time_point) override { alerts_.take(server_, record); }

private:
    Alerts &alerts_;
    const ServerFold &server_;
};

}  // namespace web
