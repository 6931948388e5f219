#include "simhost/rounds.h"

#include "simhost/bot_life.h"

namespace simhost {
namespace {

const double RESTART_DELAY = 5.0;  // seconds between a round's end and the next round

bool side_standing(const MatchState &state, int side) {
    for (const Bot &bot : state.bots)
        if (bot.side == side && alive(bot))
            return true;
    return false;
}

bool side_present(const MatchState &state, int side) {
    for (const Bot &bot : state.bots)
        if (bot.side == side)
            return true;
    return false;
}

int team_deaths(const MatchState &state, int side) {
    int deaths = 0;
    for (const Bot &bot : state.bots)
        if (bot.side == side)
            deaths += bot.deaths;
    return deaths;
}

}  // namespace

void Rounds::start_map(MatchState &state) {
    state.scores[0] = state.scores[1] = 0;
    started_ = state.clock;
    next_at_ = -1.0;
    played_ = 0;
}

void Rounds::update(MatchState &state, Objectives &objectives) {
    if (state.game.round_seconds <= 0)
        return;
    if (next_at_ >= 0.0) {
        if (state.clock >= next_at_)
            next_round(state, objectives);
        return;
    }
    bool over = false;
    const int winner = decided_winner(state, objectives, &over);
    if (over)
        end_round(state, winner);
}

int Rounds::decided_winner(const MatchState &state, const Objectives &objectives, bool *over) const {
    int winner = objectives.round_winner(state);
    if (winner < 0 && state.game.respawn_seconds < 0 && side_present(state, 0) && side_present(state, 1)) {
        if (!side_standing(state, 0))
            winner = 1;
        else if (!side_standing(state, 1))
            winner = 0;
    }
    const bool timed_out = state.clock - started_ >= state.game.round_seconds;
    if (winner < 0 && timed_out)
        winner = objectives.timeout_winner(state);
    *over = winner >= 0 || timed_out;
    return winner;
}

void Rounds::end_round(MatchState &state, int winner) {
    if (winner >= 0)
        state.scores[winner] += state.game.round_points;
    send_scores(state);
    next_at_ = state.clock + (state.game.round_restarts ? RESTART_DELAY : 0.0);
}

void Rounds::next_round(MatchState &state, Objectives &objectives) {
    ++played_;
    next_at_ = -1.0;
    started_ = state.clock;
    if (!state.game.round_restarts)
        return;
    for (Bot &bot : state.bots)
        spawn_bot(state, bot);
    objectives.new_round(state);
}

void Rounds::send_scores(MatchState &state) const {
    if (!state.game.teams || state.game.team_names[0].empty())
        return;
    for (int side = 0; side < 2; ++side)
        state.server.team_score_message(state.game.team_names[side], state.scores[side], team_deaths(state, side));
}

}  // namespace simhost
