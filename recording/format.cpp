#include "recording/format.h"

#include <zlib.h>

#include <cstdlib>

namespace recording {

uint32_t checksum(const void *data, size_t size, uint32_t previous) {
    return static_cast<uint32_t>(crc32_z(previous, static_cast<const Bytef *>(data), size));
}

void put_u16(std::string &out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>(value >> 8));
}

void put_u32(std::string &out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xff));
}

uint16_t get_u16(const unsigned char *bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

uint32_t get_u32(const unsigned char *bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

namespace {

void put_line(std::string &text, const char *key, const std::string &value) {
    if (value.find_first_of("\r\n") == std::string::npos)
        text += std::string(key) + "=" + value + "\n";
}

}  // namespace

std::string encode_header(const Header &header) {
    std::string text;
    put_line(text, "server", header.server);
    put_line(text, "address", header.address);
    put_line(text, "map", header.map);
    put_line(text, "writer", header.writer);
    put_line(text, "start", std::to_string(header.start_ms));
    if (text.size() > kLongestHeaderText)
        text.resize(0);
    std::string out(kMagic, sizeof(kMagic));
    put_u16(out, kVersion);
    put_u16(out, static_cast<uint16_t>(text.size()));
    out += text;
    put_u32(out, checksum(out.data(), out.size()));
    return out;
}

std::string encode_entry(uint32_t arrival_ms, std::string_view bytes, EntryKind kind) {
    std::string out;
    out.reserve(kEntryHeadSize + bytes.size() + kChecksumSize);
    put_u32(out, arrival_ms);
    const uint32_t flag = kind == EntryKind::log_line ? kLogLineBit : 0;
    put_u32(out, static_cast<uint32_t>(bytes.size()) | flag);
    out.append(bytes.data(), bytes.size());
    put_u32(out, checksum(out.data(), out.size()));
    return out;
}

bool decode_header_text(std::string_view text, Header *header) {
    *header = Header();
    bool have_start = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return false;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return false;
        const std::string_view key = line.substr(0, equals);
        const std::string value(line.substr(equals + 1));
        if (key == "server")
            header->server = value;
        else if (key == "address")
            header->address = value;
        else if (key == "map")
            header->map = value;
        else if (key == "writer")
            header->writer = value;
        else if (key == "start") {
            if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
                return false;
            header->start_ms = std::strtoll(value.c_str(), nullptr, 10);
            have_start = true;
        }  // other keys: written by a later version of the same format, skipped
    }
    return have_start;
}

}  // namespace recording
