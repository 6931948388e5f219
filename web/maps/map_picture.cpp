#include "web/maps/map_picture.h"

#include <zlib.h>

#include <cstdio>

#include "web/maps/bmp_reader.h"
#include "web/maps/bsp_world.h"
#include "web/maps/floor_plan.h"
#include "web/maps/map_files.h"
#include "web/maps/overview_file.h"
#include "web/maps/png_writer.h"

namespace web::maps {
namespace {

const std::uintmax_t kLargestOverviewText = std::uintmax_t{64} * 1024;

void note(std::string *problems, const std::string &line) { *problems += line + "\n"; }

// The overview's image and mapping; false (with a line in problems unless there is no overview).
bool overview_image(const std::string &game_dir, const std::string &map, Image *image, Transform *transform,
                    std::string *problems) {
    std::string path, text, error;
    if (!resolve_inside(game_dir, "overviews/" + map + ".txt", &path, &error)) {
        note(problems, error);
        return false;
    }
    std::int64_t unused = 0;
    if (!file_time(path, &unused))
        return false;  // no overview: a floor plan
    Overview overview;
    std::string image_path, bytes;
    if (!read_bounded(path, kLargestOverviewText, &text, &error) || !parse_overview(text, &overview, &error) ||
        !resolve_inside(game_dir, overview.image, &image_path, &error) ||
        !read_bounded(image_path, kLargestMapFile, &bytes, &error) || !read_bmp(bytes, image, &error)) {
        note(problems, "overview " + path + ": " + error);
        return false;
    }
    *transform = overview_transform(overview, image->width, image->height);
    return true;
}

}  // namespace

MapPicture make_map_picture(const std::string &game_dir, const std::string &map, std::string *problems) {
    MapPicture picture;
    std::string path, bytes, error;
    if (!valid_map_name(map))
        return picture;
    if (!resolve_inside(game_dir, "maps/" + map + ".bsp", &path, &error)) {
        note(problems, error);
        return picture;
    }
    if (!file_time(path, &picture.file_time))
        return picture;  // no map file: the grid
    BspWorld world;
    if (!read_bounded(path, kLargestMapFile, &bytes, &error) || !read_bsp_world(bytes, &world, &error)) {
        note(problems, "map file " + path + ": " + error + "; the radar keeps its grid");
        return picture;
    }
    Image image;
    picture.source = "overview";
    if (!overview_image(game_dir, map, &image, &picture.transform, problems)) {
        picture.source = "plan";
        image = render_floor_plan(world, &picture.transform);
    }
    picture.png = encode_png(image);
    if (picture.png.empty()) {
        note(problems, "map " + map + ": the picture could not be compressed");
        return picture;
    }
    picture.found = true;
    picture.width = image.width;
    picture.height = image.height;
    picture.x_offset = world.x_offset();
    picture.y_offset = world.y_offset();
    char etag[16];
    std::snprintf(
        etag, sizeof(etag), "\"%08lx\"",
        crc32(0L, reinterpret_cast<const Bytef *>(picture.png.data()), static_cast<uInt>(picture.png.size())));
    picture.etag = etag;
    return picture;
}

}  // namespace web::maps
