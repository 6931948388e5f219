// A webhook's receiving end for the tests: HTTPS on a loopback port of its own with a certificate
// made for it on the spot (openssl), its CA file for --alerts-ca. Answers each request as told:
// 200, 500, or never (hangs until it ends); keeps every request body and when it came.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace web_testing {

class HttpsReceiver {
public:
    enum class Answer { ok, error, hang };
    HttpsReceiver();
    ~HttpsReceiver();
    bool ready() const { return ready_; }
    int port() const { return port_; }
    std::string ca_file() const { return directory_ + "/cert.pem"; }
    std::string url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/hook"; }
    // How the next requests are answered: `first` for the first `count`, then `after`.
    void answer(Answer first, int count, Answer after = Answer::ok);

    struct Request {
        std::string body;
        std::chrono::steady_clock::time_point at;
    };
    std::vector<Request> requests();  // those whose body was read whole
    size_t connections() const { return connections_; }

private:
    void serve();
    void handle(int fd);

    std::string directory_;
    int listener_ = -1, port_ = 0;
    bool ready_ = false;
    void *context_ = nullptr;  // SSL_CTX
    std::atomic<bool> stopping_{false};
    std::atomic<size_t> connections_{0};
    std::mutex mutex_;
    Answer first_ = Answer::ok, after_ = Answer::ok;
    int first_count_ = 0;
    std::vector<Request> requests_;
    std::thread thread_;
};

}  // namespace web_testing
