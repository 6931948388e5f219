#include "soak/report_client.h"

namespace soak {

namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

// Room for a few seconds of the stream: a client that reads everything must never be cut off for
// a moment's delay on a loaded machine.
const int RECEIVE_BUFFER = 4 << 20;

}  // namespace

ReportClient::ReportClient(asio::io_context &io, int port, CycleRules rules)
    : socket_(io), retry_(io), port_(port), check_(std::move(rules)) {}

void ReportClient::start() { connect(); }

void ReportClient::connect() {
    socket_ = tcp::socket(socket_.get_executor());
    socket_.open(tcp::v4());
    socket_.set_option(asio::socket_base::receive_buffer_size(RECEIVE_BUFFER));
    socket_.async_connect({asio::ip::address_v4::loopback(), static_cast<unsigned short>(port_)},
                          [this](const boost::system::error_code &error) {
                              if (!error) {
                                  connected_ = true;
                                  read();
                                  return;
                              }
                              retry_.expires_after(std::chrono::milliseconds(100));
                              retry_.async_wait([this](const boost::system::error_code &) { connect(); });
                          });
}

void ReportClient::read() {
    socket_.async_read_some(asio::buffer(buffer_), [this](const boost::system::error_code &error, size_t length) {
        if (error) {
            lost_ = true;
            return;
        }
        bytes_ += length;
        stream_.feed(buffer_, length);
        std::string text;
        while (stream_.next_text(&text)) {
            records::Record record;
            if (records::parse_record(text, &record))
                take(record);
            else
                check_.take_malformed();
        }
        read();
    });
}

void ReportClient::take(const records::Record &record) {
    check_.take(record);
    if (record.type == "SERVER_SAY" && !say_fragment_.empty() && record.text.find(say_fragment_) != std::string::npos)
        ++says_seen_;
}

}  // namespace soak
