// The recording file's layout (docs/recording.md): a header naming the server and the start time,
// then one entry per record or server log line as it arrived. Shared by the writer and the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace recording {

constexpr char kMagic[8] = {'O', 'R', 'L', 'E', 'X', 'R', 'E', 'C'};
constexpr uint16_t kVersion = 2;
// Version 1 files hold records only, and still read.
constexpr uint16_t kOldestVersion = 1;
// Bounds a reader checks before it trusts a length from the file.
constexpr size_t kLongestHeaderText = 4096;
constexpr size_t kLongestRecord = 65536;        // a record is at most 5000 bytes; the gateway cuts at 64 KB
constexpr size_t kFixedHeaderSize = 8 + 2 + 2;  // magic, version, text length
constexpr size_t kEntryHeadSize = 4 + 4;        // arrival ms, length
constexpr size_t kChecksumSize = 4;
// From version 2, the top bit of an entry's length field marks a server log line; the other bits
// are the length, bounded as a record's.
constexpr uint32_t kLogLineBit = 0x80000000u;

enum class EntryKind : uint8_t { record, log_line };
// The suffix every recording file name ends with.
constexpr char kFileSuffix[] = ".orlexrec";

// True when the name is longer than the suffix and ends with it.
inline bool has_file_suffix(std::string_view name) {
    constexpr size_t suffix = sizeof(kFileSuffix) - 1;
    return name.size() > suffix && name.substr(name.size() - suffix) == kFileSuffix;
}

struct Header {
    std::string server;    // the name it was watched under
    std::string address;   // HOST:PORT of its plug-in
    std::string map;       // the map at the start; may be empty
    std::string writer;    // the program that wrote it
    int64_t start_ms = 0;  // Unix time in milliseconds of the start; entries count from it
};

uint32_t checksum(const void *data, size_t size, uint32_t previous = 0);

void put_u16(std::string &out, uint16_t value);
void put_u32(std::string &out, uint32_t value);
uint16_t get_u16(const unsigned char *bytes);
uint32_t get_u32(const unsigned char *bytes);

// The header's bytes, checksum included. Values with a line end or '=' in a key are not written
// (names and addresses never have them).
std::string encode_header(const Header &header);
// One entry's bytes, checksum included.
std::string encode_entry(uint32_t arrival_ms, std::string_view bytes, EntryKind kind = EntryKind::record);

// The header's text lines, "key=value"; false when a line has no '=' or start is not a number.
bool decode_header_text(std::string_view text, Header *header);

}  // namespace recording
