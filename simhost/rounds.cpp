#include "simhost/rounds.h"

#include <algorithm>

#include "simhost/bot_life.h"
#include "simhost/game_log.h"

namespace simhost {
namespace {

const double RESTART_DELAY = 5.0;     // seconds between a round's end and the next round
const double COMMENCING_DELAY = 3.0;  // from both sides having players to the match's start
const double MAX_RESTART_DELAY = 60.0;

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
    commenced_ = false;
    restart_at_ = -1.0;
}

void Rounds::update(MatchState &state, Objectives &objectives) {
    if (state.game.match_restarts) {
        watch_restarts(state);
        if (restart_at_ >= 0.0 && state.clock >= restart_at_)
            return restart_match(state, objectives);
    }
    if (state.game.round_seconds <= 0)
        return;
    if (next_at_ >= 0.0) {
        if (state.clock >= next_at_)
            next_round(state, objectives);
        return;
    }
    bool over = false;
    const int winner = decided_winner(state, objectives, &over);
    if (over) {
        end_round(state, winner);
        const std::string event = objectives.round_event(winner, state.clock - started_ >= state.game.round_seconds);
        if (!event.empty())
            log_round_end(state, winner, event);
    }
}

// The game's line as freeze time ends (there is none here: as the round starts).
void Rounds::log_round_start(MatchState &state) const {
    if (writes_round_lines(state))
        log_world(state, "Round_Start");
}

bool Rounds::writes_round_lines(const MatchState &state) { return state.game.game == "cstrike"; }

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
    if (state.game.round_restarts)
        put_back(state, objectives);
    log_round_start(state);
}

void Rounds::put_back(MatchState &state, Objectives &objectives) {
    for (Bot &bot : state.bots)
        spawn_bot(state, bot);
    objectives.new_round(state);
}

// sv_restart holds the seconds until the restart; the game takes the request and sets it back to 0.
void Rounds::watch_restarts(MatchState &state) {
    if (!commenced_ && side_present(state, 0) && side_present(state, 1)) {
        commenced_ = true;
        restart_at_ = state.clock + COMMENCING_DELAY;
        if (writes_round_lines(state)) {
            log_world(state, "Game_Commencing");
            log_game_line(state, "World triggered \"Game_Commencing\" (CT \"0\") (T \"0\")");
            log_world(state, "Round_End");
        }
    }
    CvarRegistry &cvars = state.server.engine().cvars();
    const cvar_t *request = cvars.find("sv_restart");
    if (request && request->value > 0.0f) {
        restart_at_ = state.clock + std::min(static_cast<double>(request->value), MAX_RESTART_DELAY);
        if (writes_round_lines(state))
            log_restart(state, request->value);
        cvars.set("sv_restart", "0");
    }
}

void Rounds::restart_match(MatchState &state, Objectives &objectives) {
    restart_at_ = -1.0;
    state.scores[0] = state.scores[1] = 0;
    for (Bot &bot : state.bots) {
        bot.edict->v.frags = 0.0f;
        bot.deaths = 0;
    }
    send_scores(state);
    next_at_ = -1.0;
    started_ = state.clock;
    put_back(state, objectives);
    log_round_start(state);
}

// `World triggered "Restart_Round_(N_seconds)"` and each team's score so far, CT first.
void Rounds::log_restart(MatchState &state, float seconds) const {
    const int whole = static_cast<int>(seconds);
    log_world(state, "Restart_Round_(" + std::to_string(whole) + (whole == 1 ? "_second)" : "_seconds)"));
    for (int side : {1, 0}) {
        int players = 0;
        for (const Bot &bot : state.bots)
            players += bot.side == side;
        log_game_line(state, "Team \"" + log_team(state, side) + "\" scored \"" + std::to_string(state.scores[side]) +
                                 "\" with \"" + std::to_string(players) + "\" players");
    }
}

void Rounds::send_scores(MatchState &state) const {
    if (!state.game.teams || state.game.team_names[0].empty())
        return;
    for (int side = 0; side < 2; ++side)
        state.server.team_score_message(state.game.team_names[side], state.scores[side], team_deaths(state, side));
}

}  // namespace simhost
