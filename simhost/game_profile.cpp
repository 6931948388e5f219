#include "simhost/game_profile.h"

namespace simhost {
namespace {

// clang-format off
GameProfile cstrike() {
    GameProfile game;
    game.game = "cstrike";
    game.team_names[0] = "TERRORIST";
    game.team_names[1] = "CT";
    game.sides[0].classes = {{0, "terror", "models/player/terror/terror.mdl", 100, 100},
                             {0, "leet", "models/player/leet/leet.mdl", 100, 100},
                             {0, "arctic", "models/player/arctic/arctic.mdl", 100, 100},
                             {0, "guerilla", "models/player/guerilla/guerilla.mdl", 100, 100}};
    game.sides[1].classes = {{0, "urban", "models/player/urban/urban.mdl", 100, 100},
                             {0, "gsg9", "models/player/gsg9/gsg9.mdl", 100, 100},
                             {0, "sas", "models/player/sas/sas.mdl", 100, 100},
                             {0, "gign", "models/player/gign/gign.mdl", 100, 100}};
    game.sides[0].weapons = {{"models/p_ak47.mdl", "ak47", 30, 0.35f, 1800},
                             {"models/p_galil.mdl", "galil", 26, 0.3f, 1600},
                             {"models/p_deagle.mdl", "deagle", 42, 0.6f, 1400},
                             {"models/p_mp5.mdl", "mp5navy", 20, 0.25f, 1100},
                             {"models/p_awp.mdl", "awp", 95, 1.5f, 3000}};
    game.sides[1].weapons = {{"models/p_m4a1.mdl", "m4a1", 28, 0.3f, 1800},
                             {"models/p_famas.mdl", "famas", 26, 0.3f, 1600},
                             {"models/p_usp.mdl", "usp", 30, 0.5f, 1200},
                             {"models/p_p90.mdl", "p90", 20, 0.2f, 1100},
                             {"models/p_awp.mdl", "awp", 95, 1.5f, 3000}};
    game.round_seconds = 115;
    game.round_restarts = true;
    game.match_restarts = true;
    game.own_bots = true;
    game.respawn_seconds = -1;
    return game;
}

// Classes in the order a team's bots take them, so that every team has an engineer.
std::vector<PlayerClass> tfc_classes() {
    return {{9, "engineer", "models/player.mdl", 80, 50},   {3, "soldier", "models/player.mdl", 100, 200},
            {1, "scout", "models/player.mdl", 75, 50},      {6, "hvyweapon", "models/player.mdl", 100, 300},
            {5, "medic", "models/player.mdl", 90, 100},     {2, "sniper", "models/player.mdl", 90, 50},
            {4, "demo", "models/player.mdl", 90, 120},      {7, "pyro", "models/player.mdl", 100, 150},
            {8, "spy", "models/player.mdl", 90, 100}};
}

std::vector<Weapon> tfc_weapons() {
    return {{"models/p_rpg.mdl", "rocket", 45, 0.9f, 1500},   {"models/p_shotgun.mdl", "shotgun", 22, 0.5f, 800},
            {"models/p_nailgun.mdl", "nails", 12, 0.2f, 1200}, {"models/p_mini.mdl", "ac", 14, 0.15f, 1300},
            {"models/p_sniper.mdl", "sniperrifle", 60, 1.2f, 3000}};
}

GameProfile tfc() {
    GameProfile game;
    game.game = "tfc";
    game.team_names[0] = "Blue";
    game.team_names[1] = "Red";
    for (SideRules &side : game.sides) {
        side.classes = tfc_classes();
        side.weapons = tfc_weapons();
    }
    // No rounds as such: the scores are sent to everyone at each of these intervals.
    game.round_seconds = 60;
    game.round_points = 0;
    game.respawn_seconds = 5;
    return game;
}

GameProfile dod() {
    GameProfile game;
    game.game = "dod";
    game.team_names[0] = "1";
    game.team_names[1] = "2";
    game.sides[0].classes = {{1, "us-inf", "models/player/us-inf/us-inf.mdl", 100, 0},
                             {2, "us-inf", "models/player/us-inf/us-inf.mdl", 100, 0},
                             {3, "us-para", "models/player/us-para/us-para.mdl", 100, 0},
                             {4, "us-inf", "models/player/us-inf/us-inf.mdl", 100, 0},
                             {5, "us-para", "models/player/us-para/us-para.mdl", 100, 0}};
    game.sides[1].classes = {{1, "axis-inf", "models/player/axis-inf/axis-inf.mdl", 100, 0},
                             {2, "axis-inf", "models/player/axis-inf/axis-inf.mdl", 100, 0},
                             {3, "axis-para", "models/player/axis-para/axis-para.mdl", 100, 0},
                             {4, "axis-inf", "models/player/axis-inf/axis-inf.mdl", 100, 0},
                             {5, "axis-para", "models/player/axis-para/axis-para.mdl", 100, 0}};
    game.sides[0].weapons = {{"models/p_garand.mdl", "garand", 45, 0.7f, 2200},
                             {"models/p_thompson.mdl", "thompson", 20, 0.2f, 1000},
                             {"models/p_bar.mdl", "bar", 30, 0.3f, 1600},
                             {"models/p_colt.mdl", "colt", 25, 0.5f, 800}};
    game.sides[1].weapons = {{"models/p_kar.mdl", "kar", 50, 0.9f, 2400},
                             {"models/p_mp40.mdl", "mp40", 20, 0.2f, 1000},
                             {"models/p_mp44.mdl", "mp44", 28, 0.3f, 1500},
                             {"models/p_luger.mdl", "luger", 25, 0.5f, 800}};
    game.round_seconds = 120;
    game.round_restarts = true;
    game.respawn_seconds = 6;
    return game;
}

GameProfile nsp() {
    GameProfile game;
    game.game = "nsp";
    game.sides[0].classes = {{1, "soldier", "models/player/soldier/soldier.mdl", 100, 25},
                             {1, "soldier", "models/player/soldier/soldier.mdl", 100, 25},
                             {2, "heavy", "models/player/heavy/heavy.mdl", 100, 200}};
    game.sides[1].classes = {{1, "alien1", "models/player/alien1/alien1.mdl", 70, 10},
                             {2, "alien2", "models/player/alien2/alien2.mdl", 150, 50},
                             {3, "alien3", "models/player/alien3/alien3.mdl", 125, 30},
                             {4, "alien4", "models/player/alien4/alien4.mdl", 300, 150},
                             {5, "alien5", "models/player/alien5/alien5.mdl", 700, 600}};
    game.sides[0].weapons = {{"models/p_lmg.mdl", "lmg", 18, 0.2f, 1400},
                             {"models/p_hmg.mdl", "hmg", 22, 0.15f, 1400},
                             {"models/p_sg.mdl", "shotgun", 40, 0.8f, 700},
                             {"models/p_pistol.mdl", "pistol", 20, 0.4f, 1000}};
    game.sides[1].weapons = {{"models/p_bite.mdl", "bitegun", 60, 0.6f, 600},
                             {"models/p_spit.mdl", "spitgunspit", 25, 0.5f, 1200},
                             {"models/p_claws.mdl", "claws", 80, 0.8f, 600}};
    game.round_seconds = 300;
    game.round_restarts = true;
    game.respawn_seconds = 8;
    return game;
}

GameProfile valve() {
    GameProfile game;
    game.game = "valve";
    game.teams = false;
    game.sides[0].classes = {{0, "gordon", "models/player/gordon/gordon.mdl", 100, 0},
                             {0, "barney", "models/player/barney/barney.mdl", 100, 0},
                             {0, "helmet", "models/player/helmet/helmet.mdl", 100, 0},
                             {0, "gina", "models/player/gina/gina.mdl", 100, 0},
                             {0, "scientist", "models/player/scientist/scientist.mdl", 100, 0},
                             {0, "zombie", "models/player/zombie/zombie.mdl", 100, 0}};
    game.sides[0].weapons = {{"models/p_crowbar.mdl", "crowbar", 35, 0.5f, 250},
                             {"models/p_9mmAR.mdl", "9mmAR", 16, 0.15f, 1200},
                             {"models/p_357.mdl", "357", 45, 0.8f, 1800},
                             {"models/p_shotgun.mdl", "shotgun", 35, 0.9f, 700},
                             {"models/p_crossbow.mdl", "crossbow", 70, 1.4f, 2500},
                             {"models/p_rpg.mdl", "rpg_rocket", 90, 2.0f, 2000}};
    game.sides[1] = game.sides[0];
    return game;
}
// clang-format on

}  // namespace

const GameProfile &game_profile(const std::string &game) {
    static const GameProfile CSTRIKE = cstrike(), TFC = tfc(), DOD = dod(), NSP = nsp(), VALVE = valve();
    if (game == "cstrike")
        return CSTRIKE;
    if (game == "tfc")
        return TFC;
    if (game == "dod")
        return DOD;
    if (game == "nsp")
        return NSP;
    return VALVE;
}

}  // namespace simhost
