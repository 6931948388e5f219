#include "simhost/match_state.h"

namespace simhost {

// Side 0 holds the low-x end of the map, side 1 the high-x end.
Point base_of(const MapBox &box, int side) { return box.spot(side == 0 ? 0.1f : 0.9f, 0.5f); }

Point random_point(MatchState &state) {
    const Point at = state.box.spot(state.random.real(0.05f, 0.95f), state.random.real(0.05f, 0.95f));
    return state.layout.clamp(at, 32.0f);
}

Point spawn_point(MatchState &state, int side) {
    if (!state.game.teams)
        return random_point(state);
    const float near_end = state.random.real(0.03f, 0.15f);
    return state.layout.clamp(state.box.spot(side == 0 ? near_end : 1.0f - near_end, state.random.real(0.2f, 0.8f)),
                              32.0f);
}

}  // namespace simhost
