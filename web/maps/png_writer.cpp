#include "web/maps/png_writer.h"

#include <zlib.h>

#include <cstdint>

namespace web::maps {
namespace {

void put_be32(std::string &out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void put_chunk(std::string &out, const char type[5], const std::string &data) {
    put_be32(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    const auto *bytes = reinterpret_cast<const Bytef *>(typed.data());
    put_be32(out, static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), bytes, static_cast<uInt>(typed.size()))));
}

}  // namespace

std::string encode_png(const Image &image) {
    const size_t row = static_cast<size_t>(image.width) * 3;
    std::string raw;
    raw.reserve((row + 1) * static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        raw += '\0';  // filter: none
        raw.append(reinterpret_cast<const char *>(image.rgb.data()) + row * static_cast<size_t>(y), row);
    }
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packed_size, '\0');
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &packed_size, reinterpret_cast<const Bytef *>(raw.data()),
                  static_cast<uLong>(raw.size()), 6) != Z_OK)
        return {};
    packed.resize(packed_size);
    std::string header;
    put_be32(header, static_cast<std::uint32_t>(image.width));
    put_be32(header, static_cast<std::uint32_t>(image.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter set, no interlace
    std::string out("\x89PNG\r\n\x1a\n", 8);
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", packed);
    put_chunk(out, "IEND", "");
    return out;
}

}  // namespace web::maps
