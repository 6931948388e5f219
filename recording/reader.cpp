#include "recording/reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace recording {
namespace {

std::string at(const std::string &name, size_t offset, const std::string &what) {
    return name + ": byte " + std::to_string(offset) + ": " + what;
}

bool all_zero(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

const unsigned char *bytes_at(const std::string &data, size_t offset) {
    return reinterpret_cast<const unsigned char *>(data.data()) + offset;
}

// The header; the offset of the first entry, or 0 with the error.
size_t parse_header(const Recording &recording, Header *header, uint16_t *version_read, std::string *error) {
    const std::string &data = recording.data;
    const std::string &name = recording.name;
    if (data.size() < sizeof(kMagic) || std::memcmp(data.data(), kMagic, sizeof(kMagic)) != 0) {
        *error = at(name, 0, "not a recording (it does not start with ORLEXREC)");
        return 0;
    }
    if (data.size() < kFixedHeaderSize) {
        *error = at(name, data.size(), "the file ends inside its header");
        return 0;
    }
    const uint16_t version = get_u16(bytes_at(data, 8));
    if (version < kOldestVersion || version > kVersion) {
        *error = at(name, 8,
                    "format version " + std::to_string(version) + "; this program reads versions " +
                        std::to_string(kOldestVersion) + " to " + std::to_string(kVersion) +
                        (version > kVersion ? " (the file is newer)" : ""));
        return 0;
    }
    *version_read = version;
    const size_t text_size = get_u16(bytes_at(data, 10));
    if (text_size > kLongestHeaderText) {
        *error = at(name, 10, "header text of " + std::to_string(text_size) + " bytes is longer than allowed");
        return 0;
    }
    const size_t end = kFixedHeaderSize + text_size + kChecksumSize;
    if (data.size() < end) {
        *error = at(name, data.size(), "the file ends inside its header");
        return 0;
    }
    if (checksum(data.data(), end - kChecksumSize) != get_u32(bytes_at(data, end - kChecksumSize))) {
        *error = at(name, end - kChecksumSize, "the header is damaged (checksum does not match)");
        return 0;
    }
    if (!decode_header_text(std::string_view(data).substr(kFixedHeaderSize, text_size), header)) {
        *error = at(name, kFixedHeaderSize, "the header's text is not key=value lines with a start time");
        return 0;
    }
    return end;
}

}  // namespace

std::string Recording::torn_note() const {
    if (torn_offset == 0)
        return "";
    return at(name, torn_offset,
              "a torn last entry (" + std::to_string(data.size() - torn_offset) +
                  " bytes, cut off by a crash while writing) is ignored");
}

bool parse_recording(std::string data, const std::string &name, Recording *recording, std::string *error) {
    *recording = Recording();
    recording->name = name;
    recording->data = std::move(data);
    const std::string &bytes = recording->data;
    size_t offset = parse_header(*recording, &recording->header, &recording->version, error);
    if (offset == 0)
        return false;
    uint32_t last_ms = 0;
    while (offset < bytes.size()) {
        const size_t left = bytes.size() - offset;
        const std::string_view rest = std::string_view(bytes).substr(offset);
        const uint32_t length_field = left >= kEntryHeadSize ? get_u32(bytes_at(bytes, offset + 4)) : 0;
        // Version 1 knows no log lines: there the top bit is only a length out of range.
        const bool log_line = recording->version >= 2 && (length_field & kLogLineBit) != 0;
        const uint32_t size = log_line ? length_field & ~kLogLineBit : length_field;
        const bool whole =
            left >= kEntryHeadSize && size <= kLongestRecord && left >= kEntryHeadSize + size + kChecksumSize;
        // What a crash leaves: an entry cut short, or space the system gave the file but never filled.
        if (all_zero(rest) ||
            (!whole && (left < kEntryHeadSize + kChecksumSize || (size >= 1 && size <= kLongestRecord)))) {
            recording->torn_offset = offset;
            return true;
        }
        if (size == 0 || size > kLongestRecord) {
            *error = at(name, offset + 4, "entry length " + std::to_string(size) + " is out of range");
            return false;
        }
        const size_t end = offset + kEntryHeadSize + size;
        if (checksum(bytes.data() + offset, end - offset) != get_u32(bytes_at(bytes, end))) {
            if (all_zero(std::string_view(bytes).substr(end + kChecksumSize))) {
                recording->torn_offset = offset;
                return true;
            }
            *error = at(name, offset, "the entry is damaged (checksum does not match)");
            return false;
        }
        const uint32_t arrival_ms = get_u32(bytes_at(bytes, offset));
        if (arrival_ms < last_ms) {
            *error = at(name, offset, "the entry's time goes back");
            return false;
        }
        last_ms = arrival_ms;
        recording->entries.push_back(
            {arrival_ms, offset + kEntryHeadSize, size, log_line ? EntryKind::log_line : EntryKind::record});
        offset = end + kChecksumSize;
    }
    return true;
}

bool read_recording(const std::string &path, Recording *recording, std::string *error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        *error = path + ": cannot read";
        return false;
    }
    return parse_recording(std::move(data), path, recording, error);
}

}  // namespace recording
