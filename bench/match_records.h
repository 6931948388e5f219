// The records of a 32-player cstrike match, for the benchmarks that need a stream at the default refresh.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "client/sample_records.h"

// A 32-player cstrike match moving on: each cycle the players have moved and their numbers changed.
// Positions and pings are kept short enough that the PLAYER record stays within the 4,999 bytes a
// genuine plug-in can send (the gateway drops anything longer).
struct Match {
    std::mt19937 random{7};
    std::vector<std::string> names;
    Match() {
        for (int player = 0; player < 32; ++player)
            names.push_back("Player" + std::to_string(player));
    }
    std::string players() {
        std::vector<std::vector<std::string>> changes;
        for (const char *key : {"X_COORD", "Y_COORD", "Z_COORD"}) {
            changes.push_back({key});
            for (size_t at = 0; at < names.size(); ++at)
                changes.back().push_back(std::to_string(std::uniform_real_distribution<double>(-999, 999)(random)));
        }
        changes.push_back({"PINGS"});
        for (size_t at = 0; at < names.size(); ++at)
            changes.back().push_back(std::to_string(random() % 100));
        return samples::players(names, changes);
    }
    std::string bomb() {
        return samples::table("BOMB", {{"BOMB_NUM", "0"},
                                       {"X_COORD", "-576.6"},
                                       {"Y_COORD", "-929.05"},
                                       {"Z_COORD", "-115.03"},
                                       {"PLANTED", "0"}});
    }
    std::string hostages() {
        return samples::table("HOSTAGE", {{"HOSTAGE_NUM", "0", "1"},
                                          {"X_COORD", "10.0", "20.0"},
                                          {"Y_COORD", "30.0", "40.0"},
                                          {"Z_COORD", "0.0", "0.0"}});
    }
};
