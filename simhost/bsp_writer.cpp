#include "simhost/bsp_writer.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace simhost {
namespace {

// Byte by byte, so the file is little-endian whatever the host's order.
void put_int(std::string &out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((bits >> shift) & 0xFF);
}

void put_float(std::string &out, float value) {
    std::int32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    put_int(out, bits);
}

void put_vector(std::string &out, const float vector[3]) {
    for (int axis = 0; axis < 3; ++axis)
        put_float(out, vector[axis]);
}

// mins, maxs, origin, four head nodes, visleafs, firstface, numfaces.
void put_model(std::string &out, const float mins[3], const float maxs[3]) {
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    put_vector(out, mins);
    put_vector(out, maxs);
    put_vector(out, origin);
    for (int field = 0; field < 4 + 3; ++field)
        put_int(out, 0);
}

}  // namespace

std::string make_bsp(const float mins[3], const float maxs[3], int model_count) {
    if (model_count < 1)
        model_count = 1;
    std::string out;
    put_int(out, BSP_VERSION);
    for (int lump = 0; lump < BSP_LUMP_COUNT; ++lump) {
        put_int(out, BSP_HEADER_SIZE);
        put_int(out, lump == BSP_MODELS_LUMP ? model_count * BSP_MODEL_SIZE : 0);
    }
    const float empty[3] = {0.0f, 0.0f, 0.0f};
    put_model(out, mins, maxs);
    for (int model = 1; model < model_count; ++model)
        put_model(out, empty, empty);
    return out;
}

bool write_bsp(const std::string &path, const float mins[3], const float maxs[3], int model_count) {
    const std::filesystem::path file(path);
    std::error_code error;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const std::string bytes = make_bsp(mins, maxs, model_count);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace simhost
