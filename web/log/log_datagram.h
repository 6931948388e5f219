// A log datagram as the engine sends it to every log address: FF FF FF FF, then "log " (or "S" and
// the log secret), the line (or, rarely, several), and a NUL.
#pragma once

#include <cstddef>
#include <string>

namespace web::log {

// The datagram's log text, its trailing line feed and NUL removed, or false when it is not a log
// datagram: another header, no line stamp after the header, or longer than the engine sends.
bool log_datagram_text(const char *data, size_t size, std::string *text);

// The most a log datagram holds: header, "log ", a 1,023-byte line and its NUL.
constexpr size_t kLongestLogDatagram = 1032;

}  // namespace web::log
