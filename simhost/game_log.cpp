#include "simhost/game_log.h"

namespace simhost {

std::string log_team(const MatchState &state, int side) {
    if (!state.game.teams || side < 0 || side > 1)
        return "";
    if (state.game.game == "dod")
        return side == 0 ? "Allies" : "Axis";
    return state.game.team_names[side];
}

std::string log_token(MatchState &state, const Bot &bot) {
    Engine &engine = state.server.engine();
    const PlayerInfo *info = engine.world().player_info(bot.edict);
    const int user_id = engine.player_user_id(bot.edict);
    const std::string team = state.game.teams ? log_team(state, bot.side) : std::to_string(user_id);
    return "\"" + (info ? info->name : std::string()) + "<" + std::to_string(user_id) + "><" +
           engine.player_auth_id(bot.edict) + "><" + team + ">\"";
}

void log_game_line(MatchState &state, const std::string &body) { state.server.engine().alert(at_logged, body + "\n"); }

void log_kill(MatchState &state, const Bot &victim, const Bot *killer, const std::string &weapon) {
    if (!killer)
        return log_game_line(state, log_token(state, victim) + " committed suicide with \"" + weapon + "\" (world)");
    if (killer == &victim)
        return log_game_line(state, log_token(state, victim) + " committed suicide with \"" + weapon + "\"");
    log_game_line(state,
                  log_token(state, *killer) + " killed " + log_token(state, victim) + " with \"" + weapon + "\"");
}

void log_entered(MatchState &state, const Bot &bot) {
    std::string token = log_token(state, bot);
    if (state.game.teams)
        token.replace(token.rfind('<'), std::string::npos, "<>\"");  // not on a team yet
    log_game_line(state, token + " entered the game");
}

void log_joined_team(MatchState &state, const Bot &bot) {
    if (!state.game.teams)
        return;
    std::string token = log_token(state, bot);
    token.replace(token.rfind('<'), std::string::npos, "<>\"");
    log_game_line(state, token + " joined team \"" + log_team(state, bot.side) + "\"");
}

void log_triggered(MatchState &state, const Bot &bot, const std::string &event) {
    log_game_line(state, log_token(state, bot) + " triggered \"" + event + "\"");
}

void log_world(MatchState &state, const std::string &event) {
    log_game_line(state, "World triggered \"" + event + "\"");
}

void log_round_end(MatchState &state, int winner, const std::string &event) {
    const std::string scores =
        " (CT \"" + std::to_string(state.scores[1]) + "\") (T \"" + std::to_string(state.scores[0]) + "\")";
    if (winner < 0)
        log_game_line(state, "World triggered \"" + event + "\"" + scores);
    else
        log_game_line(state, "Team \"" + log_team(state, winner) + "\" triggered \"" + event + "\"" + scores);
    log_world(state, "Round_End");
}

}  // namespace simhost
