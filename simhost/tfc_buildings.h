// "tfc" engineers' buildings: sentry guns that turn, shoot and are upgraded, dispensers and
// teleporters; all built by the engineers and destroyed by enemies close by.
#pragma once

#include <vector>

#include "simhost/match_state.h"

namespace simhost {

enum class BuildingKind { SENTRY, DISPENSER, TELEPORTER_ENTRANCE, TELEPORTER_EXIT };

class TfcBuildings {
public:
    // A new map: none built yet.
    void clear() {
        buildings_.clear();
        next_build_.clear();
    }
    void update(MatchState &state);

private:
    using Kind = BuildingKind;
    struct Building {
        edict_t *entity = nullptr;
        Kind kind = Kind::SENTRY;
        int owner = 0;  // bot index
        int level = 1;
        double next_shot = 0.0, next_upgrade = 0.0;
    };

    void build_due(MatchState &state);
    bool build_next(MatchState &state, int owner);
    void build(MatchState &state, int owner, Kind kind);
    void upgrade(MatchState &state, Building &sentry);
    void aim_and_shoot(MatchState &state, Building &sentry);
    // False when enemies close by have destroyed it.
    bool withstand(MatchState &state, Building &building);

    std::vector<Building> buildings_;
    std::vector<double> next_build_;  // by bot index
};

}  // namespace simhost
