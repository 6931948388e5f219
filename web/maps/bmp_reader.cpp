#include "web/maps/bmp_reader.h"

#include <cstdint>
#include <cstdlib>

namespace web::maps {
namespace {

std::uint32_t le(const std::string &bytes, size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

bool fail(std::string *error, const char *why) {
    *error = why;
    return false;
}

}  // namespace

bool read_bmp(const std::string &bytes, Image *image, std::string *error) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return fail(error, "not a BMP file");
    const std::uint32_t pixels_at = le(bytes, 10, 4), info_size = le(bytes, 14, 4);
    const auto width = static_cast<std::int32_t>(le(bytes, 18, 4));
    const auto signed_height = static_cast<std::int32_t>(le(bytes, 22, 4));
    const std::uint32_t bits = le(bytes, 28, 2), compression = le(bytes, 30, 4);
    if (info_size < 40 || compression != 0 || (bits != 8 && bits != 24))
        return fail(error, "BMP is not uncompressed 8- or 24-bit");
    const bool top_down = signed_height < 0;
    const std::int64_t height = std::llabs(static_cast<long long>(signed_height));
    if (width <= 0 || height <= 0 || width > kLargestImageSide || height > kLargestImageSide)
        return fail(error, "BMP size out of range");
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    if (pixels_at > bytes.size() || bytes.size() - pixels_at < stride * static_cast<size_t>(height))
        return fail(error, "BMP shorter than its pixels");
    std::uint32_t colours = le(bytes, 46, 4);
    if (colours == 0 || colours > 256)
        colours = 256;
    const size_t palette_at = 14 + static_cast<size_t>(info_size);
    if (bits == 8 && (palette_at > bytes.size() || bytes.size() - palette_at < size_t{colours} * 4))
        return fail(error, "BMP shorter than its palette");
    *image = Image(width, static_cast<int>(height), 0, 0, 0);
    for (int y = 0; y < image->height; ++y) {
        const size_t row = pixels_at + stride * static_cast<size_t>(top_down ? y : image->height - 1 - y);
        for (int x = 0; x < width; ++x) {
            size_t source = row + static_cast<size_t>(x) * 3;  // blue, green, red
            if (bits == 8) {
                const auto index = static_cast<unsigned char>(bytes[row + static_cast<size_t>(x)]);
                if (index >= colours)
                    return fail(error, "BMP pixel outside its palette");
                source = palette_at + size_t{index} * 4;
            }
            std::uint8_t *out = image->pixel(x, y);
            out[0] = static_cast<std::uint8_t>(bytes[source + 2]);
            out[1] = static_cast<std::uint8_t>(bytes[source + 1]);
            out[2] = static_cast<std::uint8_t>(bytes[source]);
        }
    }
    return true;
}

}  // namespace web::maps
