#include "state/map_world.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/engine.h"
#include "host/sdk_util.h"

float worldsize_x;
float worldsize_y;
float x_offset;
float y_offset;

namespace {

// Where the models lump is described in a map file's header, and what one model record holds.
const long MODELS_LUMP_ENTRY = 4 + 8 * 14;  // offset, then length
const long HEADER_SIZE = 4 + 8 * 15;
const long MODEL_RECORD_SIZE = 64;  // mins (3 floats), maxs (3 floats), then fields not used

std::int32_t read_int32(const unsigned char *at) {
    std::int32_t value;
    memcpy(&value, at, sizeof(value));  // map files are little-endian, as are our targets
    return value;
}

}  // namespace

bool read_world_box(const unsigned char *file, long size, WorldBox *box) {
    if (!file || size < HEADER_SIZE)
        return false;
    const long long offset = read_int32(file + MODELS_LUMP_ENTRY);
    const long long length = read_int32(file + MODELS_LUMP_ENTRY + 4);
    if (offset < 0 || length < MODEL_RECORD_SIZE || offset + length > size)
        return false;
    memcpy(box->mins, file + offset, sizeof(box->mins));
    memcpy(box->maxs, file + offset + sizeof(box->mins), sizeof(box->maxs));
    return true;
}

void read_map_geometry() {
    char bsp_file_path[300];
    snprintf(bsp_file_path, sizeof(bsp_file_path), "maps/%s.bsp", gpGlobals ? string_text(gpGlobals->mapname) : "");
    int bsp_file_size = 0;
    unsigned char *file = g_engfuncs.pfnLoadFileForMe(bsp_file_path, &bsp_file_size);
    WorldBox box = {};
    const bool read = read_world_box(file, bsp_file_size, &box);
    if (file)
        g_engfuncs.pfnFreeFile(file);
    if (!read)
        UTIL_LogPrintf("[ORLEX] Unable to read the world size from %s", bsp_file_path);
    worldsize_x = box.maxs[0] - box.mins[0];
    worldsize_y = box.maxs[1] - box.mins[1];
    x_offset = (box.mins[0] + box.maxs[0]) / 2;
    y_offset = (box.mins[1] + box.maxs[1]) / 2;
}
