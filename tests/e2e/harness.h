// The built plug-in loaded by path into a simulated server.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "simhost/game_server.h"

namespace e2e {

inline const char *plugin_path() { return ORLEX_PLUGIN_PATH; }

// Slot numbers of the non-null entries of a function table.
template <typename Table>
std::vector<int> filled_slots(const Table &table) {
    std::vector<int> slots;
    for (size_t slot = 0; slot < sizeof(Table) / sizeof(void *); ++slot) {
        void *entry = nullptr;
        std::memcpy(&entry, reinterpret_cast<const char *>(&table) + slot * sizeof(void *), sizeof(entry));
        if (entry)
            slots.push_back(static_cast<int>(slot));
    }
    return slots;
}

}  // namespace e2e
