#include "web/https_receiver.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace web_testing {

HttpsReceiver::HttpsReceiver() {
    char directory[] = "/tmp/orlex_receiver_XXXXXX";
    if (!mkdtemp(directory))
        return;
    directory_ = directory;
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -addext "
        "subjectAltName=IP:127.0.0.1 -keyout " +
        directory_ + "/key.pem -out " + directory_ + "/cert.pem >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0)
        return;
    SSL_CTX *context = SSL_CTX_new(TLS_server_method());
    if (!context || SSL_CTX_use_certificate_file(context, ca_file().c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, (directory_ + "/key.pem").c_str(), SSL_FILETYPE_PEM) != 1)
        return;
    context_ = context;
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 || listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    ready_ = true;
    thread_ = std::thread([this] { serve(); });
}

HttpsReceiver::~HttpsReceiver() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        close(listener_);
    if (context_)
        SSL_CTX_free(static_cast<SSL_CTX *>(context_));
    if (!directory_.empty())
        std::system(("rm -rf " + directory_).c_str());
}

void HttpsReceiver::answer(Answer first, int count, Answer after) {
    std::lock_guard<std::mutex> lock(mutex_);
    first_ = first;
    first_count_ = count;
    after_ = after;
}

std::vector<HttpsReceiver::Request> HttpsReceiver::requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

// One connection at a time, as the gateway's sender makes them; a hang holds it until the end.
void HttpsReceiver::serve() {
    while (!stopping_) {
        pollfd ready{listener_, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0)
            continue;
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0)
            continue;
        ++connections_;
        handle(fd);
        close(fd);
    }
}

void HttpsReceiver::handle(int fd) {
    timeval limit{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    SSL *tls = SSL_new(static_cast<SSL_CTX *>(context_));
    SSL_set_fd(tls, fd);
    std::string text;
    if (SSL_accept(tls) == 1) {
        char chunk[4096];
        size_t end = std::string::npos, length = 0;
        while (end == std::string::npos || text.size() < end + 4 + length) {
            const int got = SSL_read(tls, chunk, sizeof(chunk));
            if (got <= 0)
                break;
            text.append(chunk, static_cast<size_t>(got));
            end = text.find("\r\n\r\n");
            const size_t field = text.find("Content-Length: ");
            if (end != std::string::npos && field != std::string::npos && field < end)
                length = std::strtoul(text.c_str() + field + 16, nullptr, 10);
        }
        if (end != std::string::npos && text.size() >= end + 4 + length) {
            Answer answer;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back({text.substr(end + 4, length), std::chrono::steady_clock::now()});
                answer = first_count_ > 0 ? first_ : after_;
                if (first_count_ > 0)
                    --first_count_;
            }
            if (answer == Answer::hang) {
                while (!stopping_ && SSL_read(tls, chunk, sizeof(chunk)) > 0) {
                }
            } else {
                const std::string reply = answer == Answer::ok
                                              ? "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
                                              : "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                SSL_write(tls, reply.data(), static_cast<int>(reply.size()));
                SSL_shutdown(tls);
            }
        }
    }
    SSL_free(tls);
}

}  // namespace web_testing
