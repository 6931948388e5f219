// Map pictures from real files: a generated map's floor plan, overviews placed as the game places
// them, and the files a hostile game folder or map file may hold.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "simhost/bsp_writer.h"
#include "simhost/map_catalog.h"
#include "simhost/map_layout.h"
#include "simhost/temp_folder.h"
#include "state/map_world.h"
#include "web/maps/bmp_reader.h"
#include "web/maps/bsp_world.h"
#include "web/maps/floor_plan.h"
#include "web/maps/map_files.h"
#include "web/maps/map_picture.h"
#include "web/maps/overview_file.h"
#include "web/maps/png_writer.h"

namespace {

using namespace web::maps;
namespace fs = std::filesystem;

const simhost::MapBox BOX = {{-3000, -1000, -256}, {1000, 1400, 512}};

std::string generated_map() { return simhost::make_bsp(BOX.mins, BOX.maxs, simhost::map_layout(BOX).areas); }

void write(const fs::path &path, const std::string &bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void put16(std::string &out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8 & 0xFF);
}
void put32(std::string &out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// An uncompressed bottom-up BMP whose pixel (x, y) is colour(x, y); 8-bit with a grey palette
// (colour's red taken as the index) or 24-bit.
template <class Colour>
std::string bmp(int width, int height, int bits, Colour colour) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4;
    const std::uint32_t palette = bits == 8 ? 256 * 4 : 0, pixels_at = 54 + palette;
    std::string out = "BM";
    put32(out, pixels_at + stride * static_cast<std::uint32_t>(height));
    put32(out, 0);
    put32(out, pixels_at);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    for (int field = 0; field < 6; ++field)
        put32(out, 0);
    for (std::uint32_t index = 0; index < palette / 4; ++index)
        put32(out, index * 0x010101u);
    for (int y = height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            const std::array<std::uint8_t, 3> rgb = colour(x, y);
            if (bits == 8)
                row += static_cast<char>(rgb[0]);
            else
                row += {static_cast<char>(rgb[2]), static_cast<char>(rgb[1]), static_cast<char>(rgb[0])};
        }
        row.resize(stride, '\0');
        out += row;
    }
    return out;
}

bool background(const Image &image, double px, double py) {
    const std::uint8_t *pixel = image.pixel(static_cast<int>(px), static_cast<int>(py));
    return std::memcmp(pixel, kPlanBackground, 3) == 0;
}

}  // namespace

TEST(FloorPlan, RoomsAndCorridorAreFloorAndWhatLiesBetweenIsNot) {
    BspWorld world;
    std::string error;
    ASSERT_TRUE(read_bsp_world(generated_map(), &world, &error)) << error;
    EXPECT_EQ(world.faces.size(), 15u);  // a floor and four walls per area
    Transform t;
    const Image image = render_floor_plan(world, &t);
    EXPECT_EQ(image.width, kPlanSide);  // the box is wider than deep
    EXPECT_LT(image.height, kPlanSide);
    const auto px = [&](double x, double y) { return t.a * x + t.b * y + t.c; };
    const auto py = [&](double x, double y) { return t.d * x + t.e * y + t.f; };
    std::uint8_t low[3] = {}, high[3] = {};
    const simhost::MapLayout layout = simhost::map_layout(BOX);
    for (const simhost::FloorArea &area : layout.areas) {
        const double x = (area.mins[0] + area.maxs[0]) / 2, y = (area.mins[1] + area.maxs[1]) / 2;
        EXPECT_FALSE(background(image, px(x, y), py(x, y))) << "area at " << x << " " << y;
        std::memcpy(area.floor > BOX.mins[2] ? high : low, image.pixel(int(px(x, y)), int(py(x, y))), 3);
    }
    EXPECT_GT(high[0] + high[1] + high[2], low[0] + low[1] + low[2]) << "the raised room is drawn lighter";
    // Above and below the corridor, between the rooms: no floor.
    for (double fy : {0.2, 0.8}) {
        const simhost::Point outside = BOX.spot(0.5f, static_cast<float>(fy));
        EXPECT_TRUE(background(image, px(outside.x, outside.y), py(outside.x, outside.y))) << fy;
    }
    // y grows upwards on the map, downwards in the picture.
    EXPECT_LT(py(0, BOX.maxs[1]), py(0, BOX.mins[1]));
}

TEST(FloorPlan, OffsetIsThePluginsAndStandingPlayersAreOnFloor) {
    const std::string bytes = generated_map();
    WorldBox plugin_box{};
    ASSERT_TRUE(read_world_box(reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<long>(bytes.size()),
                               &plugin_box));
    BspWorld world;
    std::string error;
    ASSERT_TRUE(read_bsp_world(bytes, &world, &error)) << error;
    EXPECT_EQ(world.x_offset(), (plugin_box.mins[0] + plugin_box.maxs[0]) / 2);
    EXPECT_EQ(world.y_offset(), (plugin_box.mins[1] + plugin_box.maxs[1]) / 2);
    EXPECT_EQ(world.x_offset(), -1000);
    EXPECT_EQ(world.y_offset(), 200);
}

TEST(Overview, KnownPointLandsOnKnownPixelBothWays) {
    // ZOOM 2: the image spans 2 * 2048 across and 2 * 1536 down, about ORIGIN.
    Overview overview;
    std::string error;
    ASSERT_TRUE(
        parse_overview("// comment\nglobal { ZOOM 2 ORIGIN 100 -200 0 ROTATED 1 }\n"
                       "layer { IMAGE \"overviews/x.bmp\" HEIGHT -50 }",
                       &overview, &error))
        << error;
    EXPECT_EQ(overview.image, "overviews/x.bmp");
    EXPECT_EQ(overview.height, -50);
    Transform t = overview_transform(overview, 1024, 768);
    // x grows to the right, y upwards: three quarters across, a quarter down.
    double x = 100 + 1024, y = -200 + 768;
    EXPECT_DOUBLE_EQ(t.a * x + t.b * y + t.c, 768);
    EXPECT_DOUBLE_EQ(t.d * x + t.e * y + t.f, 192);
    overview.rotated = 0;
    t = overview_transform(overview, 1024, 768);
    // y grows to the left, x upwards.
    x = 100 - 768;
    y = -200 + 1024;
    EXPECT_DOUBLE_EQ(t.a * x + t.b * y + t.c, 256);
    EXPECT_DOUBLE_EQ(t.d * x + t.e * y + t.f, 576);
}

TEST(Overview, MalformedFilesAreRefusedWithAReason) {
    for (const char *text : {"global { ZOOM }", "global ZOOM 2 }", "global { ZOOM 2 COLOUR 3 } layer { IMAGE a }",
                             "layer { HEIGHT 3 }", "global { ZOOM 0 } layer { IMAGE a }", "layer { IMAGE \"a",
                             "global { ORIGIN 1 2 x } layer { IMAGE a }", "", "layer { IMAGE a"}) {
        Overview overview;
        std::string error;
        EXPECT_FALSE(parse_overview(text, &overview, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    Overview overview;
    std::string error;
    EXPECT_TRUE(parse_overview("junk words\nLAYER { image one } layer { image two }", &overview, &error)) << error;
    EXPECT_EQ(overview.image, "one");
}

TEST(Bmp, EightAndTwentyFourBitReadTopRowFirst) {
    const auto colour = [](int x, int y) {
        return std::array<std::uint8_t, 3>{static_cast<std::uint8_t>(x * 10 + y), static_cast<std::uint8_t>(y),
                                           static_cast<std::uint8_t>(200)};
    };
    Image image;
    std::string error;
    ASSERT_TRUE(read_bmp(bmp(5, 3, 24, colour), &image, &error)) << error;
    ASSERT_EQ(image.width, 5);
    ASSERT_EQ(image.height, 3);
    EXPECT_EQ(image.pixel(4, 2)[0], 42);
    EXPECT_EQ(image.pixel(4, 2)[1], 2);
    EXPECT_EQ(image.pixel(4, 2)[2], 200);
    ASSERT_TRUE(read_bmp(bmp(5, 3, 8, colour), &image, &error)) << error;
    EXPECT_EQ(image.pixel(3, 1)[0], 31);
    EXPECT_EQ(image.pixel(3, 1)[2], 31);  // grey palette
    const std::string whole = bmp(5, 3, 8, colour);
    for (size_t length = 0; length < whole.size(); ++length)
        EXPECT_FALSE(read_bmp(whole.substr(0, length), &image, &error)) << length;
}

TEST(Png, InflatesToTheRowsItWasGiven) {
    Image image(3, 2, 1, 2, 3);
    image.pixel(2, 1)[0] = 250;
    const std::string png = encode_png(image);
    ASSERT_GT(png.size(), 8u + 25 + 12 + 12);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    const auto be32 = [&](size_t at) {
        return static_cast<std::uint32_t>(
            static_cast<unsigned char>(png[at]) << 24 | static_cast<unsigned char>(png[at + 1]) << 16 |
            static_cast<unsigned char>(png[at + 2]) << 8 | static_cast<unsigned char>(png[at + 3]));
    };
    EXPECT_EQ(be32(16), 3u);
    EXPECT_EQ(be32(20), 2u);
    const size_t idat = 8 + 25;
    ASSERT_EQ(png.substr(idat + 4, 4), "IDAT");
    const std::uint32_t length = be32(idat);
    const std::uint32_t crc =
        static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(png.data() + idat + 4), length + 4));
    EXPECT_EQ(be32(idat + 8 + length), crc);
    std::string raw(2 * (1 + 9), '\0');
    uLongf raw_size = raw.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef *>(raw.data()), &raw_size,
                         reinterpret_cast<const Bytef *>(png.data() + idat + 8), length),
              Z_OK);
    EXPECT_EQ(raw_size, raw.size());
    EXPECT_EQ(static_cast<unsigned char>(raw[10 + 1 + 6]), 250);
    EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
}

TEST(BspWorld, TruncatedOrCorruptFilesAreRefusedNeverOverread) {
    const std::string whole = generated_map();
    BspWorld world;
    std::string error;
    for (size_t length = 0; length < whole.size(); length += 7)
        EXPECT_FALSE(read_bsp_world(whole.substr(0, length), &world, &error)) << length;
    // Every 4 bytes in turn set to a hostile value: refused or read, never a fault.
    for (size_t at = 0; at + 4 <= whole.size(); at += 4) {
        for (std::uint32_t hostile : {0xFFFFFFFFu, 0x7F7FFFFFu}) {
            std::string bytes = whole;
            std::memcpy(&bytes[at], &hostile, 4);
            if (read_bsp_world(bytes, &world, &error)) {
                Transform t;
                render_floor_plan(world, &t);
            }
        }
    }
    std::string version = whole;
    version[0] = 29;
    EXPECT_FALSE(read_bsp_world(version, &world, &error));
    EXPECT_NE(error.find("not 30"), std::string::npos);
}

class GameFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder_.path().empty()); }
    fs::path root() const { return fs::path(folder_.path()) / "game"; }
    void add_map(const std::string &name) { write(root() / "maps" / (name + ".bsp"), generated_map()); }
    simhost::TempFolder folder_{"web_maps_test-"};
};

TEST_F(GameFolder, OverviewPairIsServedWithItsMapping) {
    add_map("de_pair");
    write(root() / "overviews" / "de_pair.txt",
          "global\n{\n ZOOM 2\n ORIGIN 100 -200 0\n ROTATED 1\n}\nlayer\n{\n IMAGE \"overviews/de_pair.bmp\"\n}\n");
    write(root() / "overviews" / "de_pair.bmp", bmp(64, 48, 8, [](int, int) {
              return std::array<std::uint8_t, 3>{7, 7, 7};
          }));
    std::string problems;
    const MapPicture picture = make_map_picture(root().string(), "de_pair", &problems);
    EXPECT_EQ(problems, "");
    ASSERT_TRUE(picture.found);
    EXPECT_EQ(picture.source, "overview");
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 48);
    EXPECT_EQ(picture.x_offset, -1000);
    const Transform &t = picture.transform;
    EXPECT_DOUBLE_EQ(t.a * 1124 + t.b * 568 + t.c, 48);
    EXPECT_DOUBLE_EQ(t.d * 1124 + t.e * 568 + t.f, 12);
    EXPECT_EQ(picture.etag.front(), '"');
}

TEST_F(GameFolder, BrokenOverviewIsOneLineAndThePlan) {
    add_map("de_broken");
    write(root() / "overviews" / "de_broken.txt", "global { ZOOM 2 WHAT 1 } layer { IMAGE x.bmp }");
    std::string problems;
    MapPicture picture = make_map_picture(root().string(), "de_broken", &problems);
    EXPECT_TRUE(picture.found);
    EXPECT_EQ(picture.source, "plan");
    EXPECT_EQ(std::count(problems.begin(), problems.end(), '\n'), 1) << problems;
    EXPECT_NE(problems.find("WHAT"), std::string::npos) << problems;
    // An image outside the folder is not read.
    write(root().parent_path() / "secret.bmp", bmp(4, 4, 24, [](int, int) { return std::array<std::uint8_t, 3>{}; }));
    write(root() / "overviews" / "de_broken.txt", "layer { IMAGE ../secret.bmp }");
    problems.clear();
    picture = make_map_picture(root().string(), "de_broken", &problems);
    EXPECT_EQ(picture.source, "plan");
    EXPECT_NE(problems.find(".."), std::string::npos) << problems;
}

TEST_F(GameFolder, NoMapFileALinkOutOrABadNameGiveNoPicture) {
    fs::create_directories(root());
    std::string problems;
    EXPECT_FALSE(make_map_picture(root().string(), "de_missing", &problems).found);
    EXPECT_EQ(problems, "");  // no map file is no fault: the grid
    for (const char *name : {"../game/maps/x", "..", "a/b", ""})
        EXPECT_FALSE(make_map_picture(root().string(), name, &problems).found) << name;
    // maps/ a link to a folder outside the game folder.
    write(root().parent_path() / "elsewhere" / "de_out.bsp", generated_map());
    fs::create_directory_symlink(root().parent_path() / "elsewhere", root() / "maps");
    problems.clear();
    EXPECT_FALSE(make_map_picture(root().string(), "de_out", &problems).found);
    EXPECT_NE(problems.find("outside the game folder"), std::string::npos) << problems;
    // A hostile map file: a line, no picture.
    fs::remove(root() / "maps");
    write(root() / "maps" / "de_bad.bsp", generated_map().substr(0, 300));
    problems.clear();
    EXPECT_FALSE(make_map_picture(root().string(), "de_bad", &problems).found);
    EXPECT_NE(problems.find("de_bad.bsp"), std::string::npos) << problems;
}
