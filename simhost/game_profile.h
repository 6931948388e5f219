// What each game's players are like and how its rounds go: the rules the simulated match follows.
#pragma once

#include <string>
#include <vector>

namespace simhost {

struct Weapon {
    std::string model;  // entvars weaponmodel
    std::string name;   // in the game's death messages
    float damage;       // per hit
    float interval;     // seconds between shots
    float range;
};

struct PlayerClass {
    int number;              // entvars playerclass; 0 where the game has no classes
    std::string info_model;  // the client's "model" setting
    std::string body_model;  // entvars model
    float health;            // max_health
    float armor;             // armorvalue at each spawn
};

struct SideRules {
    std::vector<PlayerClass> classes;  // the side's bots take them in turn
    std::vector<Weapon> weapons;
};

struct GameProfile {
    std::string game;
    bool teams = true;            // false: every player fights every other
    std::string team_names[2];    // TeamScore's team field per side; empty: the game sends no scores
    SideRules sides[2];           // a game without teams uses the first only
    double round_seconds = 0;     // 0: no rounds
    int round_points = 1;         // what winning a round adds to the team's score
    bool round_restarts = false;  // a new round puts every player and objective back
    double respawn_seconds = 3;   // below 0: the dead wait for the next round
    // The match restarts (scores, frags and deaths back to 0, every team sent its 0 score) once both
    // sides have players on a map ("Game Commencing"), and whenever sv_restart is set.
    bool match_restarts = false;
    // The game creates its bots itself: they connect without the plug-in host's connect hook, and a
    // map change drops them and adds them again with new user ids.
    bool own_bots = false;
};

// The rules of a game directory; any unknown game plays "valve" deathmatch.
const GameProfile &game_profile(const std::string &game);

}  // namespace simhost
