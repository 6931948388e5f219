#include "reports/objective_reports.h"

#include "state/map_world.h"
#include "unit/game_fixture.h"

namespace {

class ObjectiveReportTest : public GameFixture {
protected:
    ObjectiveReportTest() : GameFixture("tfc") {}

    edict_t *place(const std::string &classname, float x = 0, float y = 0, float z = 0) {
        edict_t *entity = engine.world().create_entity(classname);
        entity->v.origin[0] = x;
        entity->v.origin[1] = y;
        entity->v.origin[2] = z;
        return entity;
    }
    std::vector<std::string> keys(const records::Record &record) {
        std::vector<std::string> names;
        for (const auto &line : record.lines)
            names.push_back(line.first);
        return names;
    }
};

}  // namespace

TEST_F(ObjectiveReportTest, NoEntityGivesEveryKeyLineEmpty) {
    build(Get_SG_Data);
    EXPECT_EQ(last_text,
              "TYPE\tSENTRY\nSG_NUM\t\nSG_ANGLE\t\nSG_TEAM\t\nSG_X_COORD\t\nSG_Y_COORD\t\nSG_Z_COORD\t\n"
              "SG_LEVEL\t\nSG_HEALTH\t\n\n");
}

TEST_F(ObjectiveReportTest, SentryGunsInEntityOrder) {
    x_offset = 1000;
    y_offset = -10;
    edict_t *first = place("building_sentrygun", 100, 200, 50);
    first->v.angles[1] = 45;
    first->v.colormap = 1274;
    first->v.model = text("models/sentry2.mdl");
    first->v.health = 50;
    first->v.max_health = 200;
    edict_t *second = place("building_sentrygun");
    second->v.colormap = 0;
    second->v.max_health = 0;
    place("building_dispenser");

    const records::Record record = build(Get_SG_Data);
    EXPECT_EQ(keys(record), (std::vector<std::string>{"SG_NUM", "SG_ANGLE", "SG_TEAM", "SG_X_COORD", "SG_Y_COORD",
                                                      "SG_Z_COORD", "SG_LEVEL", "SG_HEALTH"}));
    EXPECT_EQ(*record.fields("SG_NUM"), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(*record.fields("SG_ANGLE"), (std::vector<std::string>{"45.000000", "0.000000"}));
    EXPECT_EQ(*record.fields("SG_TEAM"), (std::vector<std::string>{"1", "-1"}));
    EXPECT_EQ(*record.fields("SG_X_COORD"), (std::vector<std::string>{"-900.000000", "-1000.000000"}));
    EXPECT_EQ(*record.fields("SG_Y_COORD"), (std::vector<std::string>{"210.000000", "10.000000"}));
    EXPECT_EQ(*record.fields("SG_Z_COORD"), (std::vector<std::string>{"50.000000", "0.000000"}));
    EXPECT_EQ(*record.fields("SG_LEVEL"), (std::vector<std::string>{"models/sentry2.mdl", ""}));
    EXPECT_EQ(*record.fields("SG_HEALTH"), (std::vector<std::string>{"0.250000", "0.000000"}));
}

TEST_F(ObjectiveReportTest, ColourMapTeams) {
    for (int colormap : {41110, 1274, 14125, 28260, 12345})
        place("building_dispenser")->v.colormap = colormap;
    const records::Record record = build(Get_Dispenser_Data);
    EXPECT_EQ(*record.fields("DISPENSER_TEAM"), (std::vector<std::string>{"0", "1", "2", "3", "-1"}));
}

TEST_F(ObjectiveReportTest, OwnerLinesHoldOneEmptyValuePerBuilding) {
    place("building_teleporter");
    place("building_teleporter");
    build(Get_Teleporter_Data);
    EXPECT_NE(last_text.find("\nTELEPORTER_OWNER\t\t\t\n"), std::string::npos) << last_text;
}

TEST_F(ObjectiveReportTest, ATableHoldsTheFirstEntitiesFound) {
    for (int i = 0; i < 12; ++i)
        place("item_tfgoal", static_cast<float>(i))->v.skin = i;
    const records::Record record = build(Get_Flag_Data);
    EXPECT_EQ(record.entities(), 8u);
    EXPECT_EQ(record.fields("TEAM")->back(), "7");  // the skin, not shifted
    for (int i = 0; i < 25; ++i)
        place("building_sentrygun");
    EXPECT_EQ(build(Get_SG_Data).entities(), 19u);
}

TEST_F(ObjectiveReportTest, BombPlantedFromItsModel) {
    place("weapon_c4")->v.model = text("models/w_c4.mdl");
    place("weapon_c4")->v.model = text("models/w_backpack.mdl");
    place("weapon_c4");
    place("weapon_c4")->v.model = text("models/other.mdl");
    const records::Record record = build(Get_CSBOMB_Data);
    EXPECT_EQ(keys(record), (std::vector<std::string>{"BOMB_NUM", "X_COORD", "Y_COORD", "Z_COORD", "PLANTED"}));
    EXPECT_EQ(*record.fields("PLANTED"), (std::vector<std::string>{"1", "0", "0", "-1"}));
}

// Planted, the bomb is a "grenade" with the bomb's model (the "weapon_c4" is gone); the players' own
// grenades are not bombs. A bomb packed into a dropped "weaponbox" lies where the box lies.
TEST_F(ObjectiveReportTest, PlantedBombIsAGrenadeAndADroppedOneLiesInItsBox) {
    x_offset = 100;
    y_offset = -20;
    edict_t *packed = place("weapon_c4", 10, 20, 30);
    edict_t *box = place("weaponbox", 130, 25, -5);
    box->v.model = text("models/w_backpack.mdl");
    packed->v.owner = box;
    edict_t *carrier = engine.world().connect_player(simhost::PlayerSpec());
    place("weapon_c4", 40, 50, 60)->v.owner = carrier;  // carried: its own origin, as always
    place("grenade", 1, 1, 1)->v.model = text("models/w_hegrenade.mdl");
    place("grenade", 500, 600, 70)->v.model = text("models/w_c4.mdl");
    place("grenade", 2, 2, 2);

    const records::Record record = build(Get_CSBOMB_Data);
    EXPECT_EQ(*record.fields("BOMB_NUM"), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(*record.fields("X_COORD"), (std::vector<std::string>{"30.000000", "-60.000000", "400.000000"}));
    EXPECT_EQ(*record.fields("Y_COORD"), (std::vector<std::string>{"45.000000", "70.000000", "620.000000"}));
    EXPECT_EQ(*record.fields("Z_COORD"), (std::vector<std::string>{"-5.000000", "60.000000", "70.000000"}));
    EXPECT_EQ(*record.fields("PLANTED"), (std::vector<std::string>{"0", "0", "1"}));

    engine.world().remove_entity(box);  // a freed box is nobody's place
    EXPECT_EQ(build(Get_CSBOMB_Data).fields("X_COORD")->front(), "-90.000000");
}

TEST_F(ObjectiveReportTest, HostagesReportHealthItselfAndDeadFlag) {
    edict_t *hostage = place("hostage_entity");
    hostage->v.health = 75;
    hostage->v.max_health = 100;
    hostage->v.skin = 2;
    hostage->v.deadflag = DEAD_DEAD;
    const records::Record record = build(Get_Hostage_Data);
    EXPECT_EQ(record.value("HEALTH"), "75.000000");
    EXPECT_EQ(record.value("SKIN"), "2");
    EXPECT_EQ(record.value("DEAD"), "2");
}

TEST_F(ObjectiveReportTest, ResourceTowersOfBothSidesNumberedInOneRun) {
    place("alienresourcetower", 1)->v.team = 2;
    place("resourcetower", 2)->v.team = 1;
    place("alienresourcetower", 3);
    place("resourcetower", 4);
    place("alienresourcetower", 5);
    const records::Record record = build(Get_NSPRESOURCE_Data);
    EXPECT_EQ(*record.fields("RESOURCE_NUM"), (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(*record.fields("X_COORD"),
              (std::vector<std::string>{"2.000000", "4.000000", "1.000000", "3.000000", "5.000000"}));
    EXPECT_EQ(record.fields("TEAM")->front(), "1");
}

TEST_F(ObjectiveReportTest, ControlPointsHivesAndChairs) {
    edict_t *point = place("dod_control_point");
    point->v.body = 2;
    point->v.netname = text("Bridge\tTYPE");
    EXPECT_EQ(build(Get_DODCAP_Data).value("TEAM"), "2");
    EXPECT_EQ(build(Get_DODCAP_Data).value("NAME"), "Bridge TYPE");
    EXPECT_EQ(build(Get_DODCAP_Data).type, "FLAG");

    edict_t *hive = place("team_hive");
    hive->v.team = 2;
    hive->v.health = 300;
    hive->v.max_health = 600;
    EXPECT_EQ(build(Get_NSPHIVE_Data).value("HEALTH"), "0.500000");
    place("team_command")->v.model = text("models/chair.mdl");
    EXPECT_EQ(build(Get_NSPCOMMAND_Data).value("MODEL"), "models/chair.mdl");
}
