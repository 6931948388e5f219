// The generated map file, read back the way a map reader would: header, directory, world model.
#include "simhost/bsp_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>

#include "simhost/engine.h"
#include "simhost/temp_folder.h"

namespace {

const float MINS[3] = {-2048.0f, -1536.0f, -512.0f};
const float MAXS[3] = {2048.0f, 1536.0f, 512.0f};

std::int32_t read_int(const unsigned char *bytes, size_t at) {
    const std::uint32_t value =
        bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    return static_cast<std::int32_t>(value);
}

float read_float(const unsigned char *bytes, size_t at) {
    const std::int32_t bits = read_int(bytes, at);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

const unsigned char *bytes_of(const std::string &text) { return reinterpret_cast<const unsigned char *>(text.data()); }

}  // namespace

TEST(BspWriter, HeaderDirectoryAndWorldModelReadBack) {
    const std::string file = simhost::make_bsp(MINS, MAXS, 3);
    const unsigned char *bytes = bytes_of(file);
    const int header = 4 + 8 * 15;
    ASSERT_EQ(file.size(), static_cast<size_t>(header + 3 * 64));
    EXPECT_EQ(read_int(bytes, 0), 30);
    for (int lump = 0; lump < 15; ++lump) {
        EXPECT_EQ(read_int(bytes, 4 + 8 * lump), header) << "lump " << lump;
        EXPECT_EQ(read_int(bytes, 8 + 8 * lump), lump == 14 ? 3 * 64 : 0) << "lump " << lump;
    }
    const size_t world = static_cast<size_t>(read_int(bytes, 4 + 8 * 14));
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(read_float(bytes, world + 4 * axis), MINS[axis]);
        EXPECT_EQ(read_float(bytes, world + 12 + 4 * axis), MAXS[axis]);
        EXPECT_EQ(read_float(bytes, world + 24 + 4 * axis), 0.0f);
    }
    for (size_t at = 36; at < 64; at += 4)
        EXPECT_EQ(read_int(bytes, world + at), 0) << "model field at " << at;
}

TEST(BspWriter, FileWrittenUnderNewFoldersLoadsThroughTheEngine) {
    simhost::TempFolder folder("simhost_test-");
    ASSERT_FALSE(folder.path().empty());
    ASSERT_TRUE(simhost::write_bsp(folder.path() + "/maps/stalkyard.bsp", MINS, MAXS));

    simhost::EngineConfig config;
    config.files_root = folder.path();
    simhost::Engine engine(config);
    int length = 0;
    unsigned char *data = engine.functions()->pfnLoadFileForMe("maps/stalkyard.bsp", &length);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data), static_cast<size_t>(length)), simhost::make_bsp(MINS, MAXS));
    engine.functions()->pfnFreeFile(data);
}

TEST(TempFolder, RemovedWithItsContents) {
    std::string path;
    {
        simhost::TempFolder folder("simhost_test-");
        path = folder.path();
        ASSERT_TRUE(simhost::write_bsp(path + "/maps/a.bsp", MINS, MAXS));
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}
