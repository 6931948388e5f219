// Posts alerts to their webhooks off the event loop: a thread of its own with its own io_context.
// At most kMostPending wait (the oldest dropped, with a log line); each is tried with a timeout of
// kTimeout and retried up to kRetries times with a doubling backoff. HTTPS verifies the peer
// against the system's certificates, or the --alerts-ca file's. Every alert sent, dropped or given
// up is a log line and counted.
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ssl/context.hpp>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "web/alerts/alerts_config.h"

namespace web {

struct WebhookPost {
    WebhookUrl url;
    std::string hook;         // its name, for the log
    std::string body;         // JSON
    std::string description;  // what the alert is, for the log
};

struct WebhookCounts {
    std::atomic<uint64_t> sent{0};
    std::atomic<uint64_t> dropped{0};  // the queue was full: the oldest went
    std::atomic<uint64_t> failed{0};   // every try failed
    std::atomic<uint64_t> retries{0};
};

class WebhookSender {
public:
    static constexpr size_t kMostPending = 100;
    static constexpr std::chrono::seconds kTimeout{5};
    static constexpr int kRetries = 3;
    static constexpr std::chrono::milliseconds kFirstBackoff{1000};

    // `ca_file` empty: the system's certificates. False in *ok (with the reason) when it cannot be read.
    WebhookSender(const std::string &ca_file, std::string *error);
    ~WebhookSender();  // stops the thread; what is pending is not sent
    WebhookSender(const WebhookSender &) = delete;
    WebhookSender &operator=(const WebhookSender &) = delete;

    // From any thread; never blocks on the network.
    void post(WebhookPost post);
    const WebhookCounts &counts() const { return counts_; }

private:
    class Delivery;
    void next();
    void done(const WebhookPost &post, bool sent, const std::string &why);

    boost::asio::io_context io_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    boost::asio::ssl::context tls_;
    std::mutex mutex_;
    std::deque<WebhookPost> pending_;
    bool busy_ = false;  // of the sender's thread only
    WebhookCounts counts_;
    std::thread thread_;
};

}  // namespace web
