// Each game's objective entities as the plug-in reads them: present from the map's start, in the
// fields it reads, and changing as the match goes on.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "match/offline_match.h"
#include "simhost/geometry.h"

using match_testing::match_options;
using match_testing::OfflineMatch;

namespace {

bool carried_by_a_living_terrorist(const simhost::Match &match, const edict_t *bomb) {
    for (const simhost::Bot &bot : match.bots())
        if (bot.side == 0 && bot.edict->v.deadflag == DEAD_NO && bomb->v.owner == bot.edict &&
            simhost::distance(simhost::origin_of(bot.edict), simhost::origin_of(bomb)) == 0.0f)
            return true;
    return false;
}

}  // namespace

// As the game has it: a carried "weapon_c4" follows its carrier; dropped, it is packed into a
// "weaponbox" thrown 100 to 130 units away while the weapon keeps the origin where it was packed;
// planted, the weapon is gone and a "grenade" with the bomb's model lies at the site.
TEST(CstrikeObjectives, BombIsCarriedDroppedInABoxAndPlantedAsAGrenade) {
    OfflineMatch live("cstrike");
    ASSERT_EQ(live.server.map(), "de_dust");
    EXPECT_TRUE(live.entities("hostage_entity").empty());
    int carried = 0, thrown = 0, planted = 0;
    live.play(600.0, [&] {
        const std::vector<edict_t *> weapons = live.entities("weapon_c4"), boxes = live.entities("weaponbox");
        std::vector<edict_t *> bombs;
        for (edict_t *grenade : live.entities("grenade"))
            if (live.text(grenade->v.model) == "models/w_c4.mdl")
                bombs.push_back(grenade);
        ASSERT_LE(weapons.size() + bombs.size(), 1u);
        if (!bombs.empty()) {
            ASSERT_TRUE(boxes.empty());
            ++planted;
            return;
        }
        if (weapons.empty())
            return;  // exploded: nothing left until the next round
        const edict_t *weapon = weapons[0];
        ASSERT_EQ(live.text(weapon->v.model), "");
        if (boxes.empty()) {
            ASSERT_TRUE(carried_by_a_living_terrorist(live.match, weapon));
            ++carried;
            return;
        }
        ASSERT_EQ(boxes.size(), 1u);
        ASSERT_EQ(weapon->v.owner, boxes[0]);
        ASSERT_EQ(live.text(boxes[0]->v.model), "models/w_backpack.mdl");
        const float away = simhost::flat_distance(simhost::origin_of(weapon), simhost::origin_of(boxes[0]));
        ASSERT_LE(away, 130.0f);
        if (away >= 100.0f)
            ++thrown;
    });
    EXPECT_GT(carried, 0);
    EXPECT_GT(thrown, 0);
    EXPECT_GT(planted, 0);
}

TEST(CstrikeObjectives, HostagesAreLedAwayOrHurtOnRescueMaps) {
    OfflineMatch live("cstrike");
    live.match.change_level("cs_office");
    live.play(0.01);
    EXPECT_TRUE(live.entities("weapon_c4").empty());
    EXPECT_TRUE(live.entities("grenade").empty());
    std::map<const edict_t *, simhost::Point> start;
    for (edict_t *hostage : live.entities("hostage_entity"))
        start[hostage] = simhost::origin_of(hostage);
    ASSERT_EQ(start.size(), 4u);
    bool moved = false, hurt = false;
    live.play(600.0, [&] {
        for (edict_t *hostage : live.entities("hostage_entity")) {
            const entvars_t &vars = hostage->v;
            ASSERT_EQ(vars.deadflag == DEAD_DEAD, vars.health <= 0.0f);
            ASSERT_GE(vars.skin, 0);
            moved = moved || simhost::distance(simhost::origin_of(hostage), start[hostage]) > 100.0f;
            hurt = hurt || vars.health < 100.0f;
        }
    });
    EXPECT_TRUE(moved);
    EXPECT_TRUE(hurt);
}

TEST(TfcObjectives, FlagsOfBothTeamsAndEngineersBuildingsThatAreUpgradedAndDestroyed) {
    OfflineMatch live("tfc");
    std::set<std::pair<int, std::string>> flags;
    for (edict_t *flag : live.entities("item_tfgoal"))
        flags.insert({flag->v.skin, live.text(flag->v.netname)});
    EXPECT_EQ(flags, (std::set<std::pair<int, std::string>>{{1, "Blue Flag"}, {2, "Red Flag"}}));

    std::set<std::string> sentry_models;
    std::set<int> colormaps;
    std::set<float> yaws;
    size_t most_buildings = 0, teleporters = 0, dispensers = 0;
    bool destroyed = false;
    live.play(300.0, [&] {
        const std::vector<edict_t *> sentries = live.entities("building_sentrygun");
        for (edict_t *sentry : sentries) {
            sentry_models.insert(live.text(sentry->v.model));
            colormaps.insert(sentry->v.colormap);
            yaws.insert(sentry->v.angles[1]);
            ASSERT_LE(sentry->v.health, sentry->v.max_health);
        }
        teleporters = std::max(teleporters, live.entities("building_teleporter").size());
        dispensers = std::max(dispensers, live.entities("building_dispenser").size());
        const size_t buildings =
            sentries.size() + live.entities("building_teleporter").size() + live.entities("building_dispenser").size();
        destroyed = destroyed || buildings < most_buildings;
        most_buildings = std::max(most_buildings, buildings);
    });
    EXPECT_EQ(sentry_models, (std::set<std::string>{"models/sentry1.mdl", "models/sentry2.mdl", "models/sentry3.mdl"}));
    EXPECT_EQ(colormaps, (std::set<int>{41110, 1274}));  // the Blue and the Red team's colours
    EXPECT_GT(yaws.size(), 10u);
    EXPECT_GT(teleporters, 0u);
    EXPECT_GT(dispensers, 0u);
    EXPECT_TRUE(destroyed);
}

TEST(DodObjectives, ControlPointsChangeHandsWithTheirFlags) {
    const std::map<int, std::string> flag_of_owner = {
        {0, "models/w_wflag.mdl"}, {1, "models/w_aflag.mdl"}, {2, "models/w_gflag.mdl"}};
    OfflineMatch live("dod");
    std::map<const edict_t *, int> first_owner;
    for (edict_t *point : live.entities("dod_control_point")) {
        first_owner[point] = point->v.body;
        EXPECT_FALSE(live.text(point->v.netname).empty());
    }
    ASSERT_EQ(first_owner.size(), 5u);
    bool changed = false;
    live.play(120.0, [&] {
        for (edict_t *point : live.entities("dod_control_point")) {
            ASSERT_EQ(live.text(point->v.model), flag_of_owner.at(point->v.body));
            changed = changed || point->v.body != first_owner[point];
        }
    });
    EXPECT_TRUE(changed);
}

TEST(NspObjectives, EachSidesStructuresStandForItsTeamAndAreDamaged) {
    const std::map<std::string, int> team_of = {
        {"team_command", 1}, {"resourcetower", 1}, {"team_hive", 2}, {"alienresourcetower", 2}};
    OfflineMatch live("nsp");
    std::set<std::string> damaged;
    live.play(240.0, [&] {
        for (const auto &structure : team_of)
            for (edict_t *entity : live.entities(structure.first)) {
                ASSERT_EQ(entity->v.team, structure.second);
                ASSERT_GE(entity->v.health, 0.0f);
                if (entity->v.health < entity->v.max_health)
                    damaged.insert(structure.first);
            }
    });
    EXPECT_EQ(damaged.size(), team_of.size());
}
