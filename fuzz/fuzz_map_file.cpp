// A map file of any content: the world box is read only from within the file, or refused.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "state/map_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy, so that any read past the end is caught.
    std::vector<unsigned char> file(data, data + size);
    WorldBox box;
    read_world_box(file.data(), static_cast<long>(file.size()), &box);
    return 0;
}
