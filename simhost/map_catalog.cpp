#include "simhost/map_catalog.h"

#include <algorithm>
#include <cstdio>

#include "simhost/bsp_writer.h"
#include "simhost/map_layout.h"
#include "simhost/overview_writer.h"

namespace simhost {
namespace {

// Boxes of different sizes, and centres off the origin, as real maps have.
// clang-format off
const std::vector<MapInfo> CSTRIKE_MAPS = {
    {"de_dust",   {{-2560, -1280, -256}, {1792, 2816, 512}}},
    {"cs_office", {{-1920, -2048, -384}, {1536,  640, 384}}},
    {"de_aztec",  {{-3072, -2560, -512}, {2304, 2048, 768}}},
    {"cs_italy",  {{-1536, -2304, -256}, {2560, 1792, 512}}},
};
const std::vector<MapInfo> TFC_MAPS = {
    {"2fort",    {{-3584, -1536, -512}, {3584, 1536, 512}}},
    {"well",     {{-3072, -2048, -768}, {3072, 2048, 256}}},
    {"badlands", {{-2816, -3072, -512}, {3328, 2560, 640}}},
};
const std::vector<MapInfo> DOD_MAPS = {
    {"dod_anzio",     {{-2048, -3072, -384}, {3072, 2560, 512}}},
    {"dod_avalanche", {{-2560, -2560, -512}, {2560, 2560, 512}}},
    {"dod_flash",     {{-1792, -1536, -256}, {2816, 2048, 384}}},
};
const std::vector<MapInfo> NSP_MAPS = {
    {"ns_eclipse", {{-3072, -3072, -512}, {3072, 3072, 512}}},
    {"ns_origin",  {{-2560, -3584, -640}, {3584, 2560, 384}}},
    {"ns_nothing", {{-4096, -2048, -512}, {2048, 3072, 768}}},
};
const std::vector<MapInfo> VALVE_MAPS = {
    {"crossfire", {{-2048, -1536, -512}, {2048, 1536, 512}}},
    {"stalkyard", {{-1024, -1536, -256}, {1536, 1024, 384}}},
    {"bounce",    {{-1536, -1536, -768}, {1536, 1536, 768}}},
    {"datacore",  {{-2304, -1280, -384}, {1280, 2304, 384}}},
};
// clang-format on
const MapBox DEFAULT_BOX = {{-2048, -1536, -512}, {2048, 1536, 512}};

const MapInfo *find_map(const std::string &game, const std::string &map) {
    const std::vector<MapInfo> &maps = map_rotation(game);
    const auto found = std::find_if(maps.begin(), maps.end(), [&](const MapInfo &info) { return info.name == map; });
    return found == maps.end() ? nullptr : &*found;
}

bool file_exists(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file)
        std::fclose(file);
    return file != nullptr;
}

std::string map_path(const std::string &root, const std::string &map) { return root + "/maps/" + map + ".bsp"; }

}  // namespace

Point MapBox::spot(float fraction_x, float fraction_y) const {
    return {mins[0] + (maxs[0] - mins[0]) * fraction_x, mins[1] + (maxs[1] - mins[1]) * fraction_y, floor()};
}

Point MapBox::clamp(const Point &at, float margin) const {
    const auto inside = [margin](float value, float low, float high) {
        return low + margin > high - margin ? (low + high) / 2 : std::clamp(value, low + margin, high - margin);
    };
    return {inside(at.x, mins[0], maxs[0]), inside(at.y, mins[1], maxs[1]), inside(at.z, mins[2], maxs[2])};
}

const std::vector<MapInfo> &map_rotation(const std::string &game) {
    if (game == "cstrike")
        return CSTRIKE_MAPS;
    if (game == "tfc")
        return TFC_MAPS;
    if (game == "dod")
        return DOD_MAPS;
    if (game == "nsp")
        return NSP_MAPS;
    return VALVE_MAPS;
}

MapBox map_box(const std::string &game, const std::string &map) {
    const MapInfo *info = find_map(game, map);
    return info ? info->box : DEFAULT_BOX;
}

std::string next_map(const std::string &game, const std::string &map) {
    const std::vector<MapInfo> &maps = map_rotation(game);
    const MapInfo *info = find_map(game, map);
    const size_t next = info ? static_cast<size_t>(info - maps.data()) + 1 : 0;
    return maps[next % maps.size()].name;
}

bool map_available(const std::string &files_root, const std::string &game, const std::string &map) {
    if (map.empty() || map.find_first_of("/\\.") != std::string::npos)
        return false;
    return find_map(game, map) || (!files_root.empty() && file_exists(map_path(files_root, map)));
}

bool write_map_files(const std::string &root, const std::string &game, const std::string &extra) {
    bool written = true;
    for (const MapInfo &info : map_rotation(game)) {
        const MapLayout layout = map_layout(info.box);
        written = write_bsp(map_path(root, info.name), info.box.mins, info.box.maxs, layout.areas) && written;
        // The first map of each rotation comes with an overview, as many real maps do; the others
        // are drawn from their map files.
        if (&info == &map_rotation(game).front())
            written = write_overview(root, info.name, info.box, layout) && written;
    }
    if (!extra.empty() && !find_map(game, extra))
        written = write_bsp(map_path(root, extra), DEFAULT_BOX.mins, DEFAULT_BOX.maxs, map_layout(DEFAULT_BOX).areas) &&
                  written;
    return written;
}

}  // namespace simhost
