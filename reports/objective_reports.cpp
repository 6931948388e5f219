#include "reports/objective_reports.h"

#include <cstring>

#include "host/engine.h"
#include "host/entity_search.h"
#include "state/map_world.h"
#include "text/record.h"

namespace {

// What a key line reports of each entity.
enum Value {
    NUMBER,   // the entity's place in the walk, from 0
    X_COORD,  // origin, centred on the map
    Y_COORD,
    Z_COORD,  // origin z, not shifted
    SKIN,
    BODY,
    TEAM,
    MODEL,         // model path
    NAME,          // netname
    HEALTH,        // health itself
    HEALTH_RATIO,  // health / max_health
    DEAD,
    PLANTED,  // the bomb's state from its model
    YAW,
    COLORMAP_TEAM,  // team of a building from its colour map
    EMPTY,
};

struct Key {
    const char *name;
    Value value;
};

enum { MAX_KEYS = 8 };

struct EntityClass {
    const char *name;
    const char *model = nullptr;  // only the entities of the class with this model; null: all of them
    bool packable = false;        // a weapon the game packs into a "weaponbox" when it is dropped
};

struct ObjectiveReport {
    const char *kind;
    EntityClass classes[2];  // walked one after the other, one count across both
    int columns;             // the key column and one per entity the report can hold
    Key keys[MAX_KEYS];
};

const char *const PLANTED_BOMB_MODEL = "models/w_c4.mdl";

// clang-format off
const ObjectiveReport kFlag = {"FLAG", {{"item_tfgoal"}}, 9, {
    {"FLAG_NUM", NUMBER}, {"X_COORD", X_COORD}, {"Y_COORD", Y_COORD}, {"Z_COORD", Z_COORD},
    {"TEAM", SKIN}, {"MODEL", MODEL}, {"NAME", NAME}}};
const ObjectiveReport kControlPoint = {"FLAG", {{"dod_control_point"}}, 9, {
    {"FLAG_NUM", NUMBER}, {"X_COORD", X_COORD}, {"Y_COORD", Y_COORD}, {"Z_COORD", Z_COORD},
    {"TEAM", BODY}, {"MODEL", MODEL}, {"NAME", NAME}}};
const ObjectiveReport kHostage = {"HOSTAGE", {{"hostage_entity"}}, 9, {
    {"HOSTAGE_NUM", NUMBER}, {"X_COORD", X_COORD}, {"Y_COORD", Y_COORD}, {"Z_COORD", Z_COORD},
    {"SKIN", SKIN}, {"HEALTH", HEALTH}, {"DEAD", DEAD}}};
// The game removes the "weapon_c4" when the bomb is planted: the planted bomb is a "grenade" with the
// bomb's model (other grenades are the players' own).
const ObjectiveReport kBomb = {"BOMB", {{"weapon_c4", nullptr, true}, {"grenade", PLANTED_BOMB_MODEL}}, 9, {
    {"BOMB_NUM", NUMBER}, {"X_COORD", X_COORD}, {"Y_COORD", Y_COORD}, {"Z_COORD", Z_COORD},
    {"PLANTED", PLANTED}}};
const ObjectiveReport kSentry = {"SENTRY", {{"building_sentrygun"}}, 20, {
    {"SG_NUM", NUMBER}, {"SG_ANGLE", YAW}, {"SG_TEAM", COLORMAP_TEAM}, {"SG_X_COORD", X_COORD},
    {"SG_Y_COORD", Y_COORD}, {"SG_Z_COORD", Z_COORD}, {"SG_LEVEL", MODEL}, {"SG_HEALTH", HEALTH_RATIO}}};
const ObjectiveReport kTeleporter = {"TELEPORTER", {{"building_teleporter"}}, 20, {
    {"TELEPORTER_NUM", NUMBER}, {"TELEPORTER_OWNER", EMPTY}, {"TELEPORTER_TEAM", COLORMAP_TEAM},
    {"TELEPORTER_X_COORD", X_COORD}, {"TELEPORTER_Y_COORD", Y_COORD}, {"TELEPORTER_Z_COORD", Z_COORD},
    {"TELEPORTER_HEALTH", HEALTH_RATIO}}};
const ObjectiveReport kDispenser = {"DISPENSER", {{"building_dispenser"}}, 20, {
    {"DISPENSER_NUM", NUMBER}, {"DISPENSER_OWNER", EMPTY}, {"DISPENSER_TEAM", COLORMAP_TEAM},
    {"DISPENSER_X_COORD", X_COORD}, {"DISPENSER_Y_COORD", Y_COORD}, {"DISPENSER_Z_COORD", Z_COORD},
    {"DISPENSER_HEALTH", HEALTH_RATIO}}};
const ObjectiveReport kHive = {"HIVE", {{"team_hive"}}, 9, {
    {"HIVE_NUM", NUMBER}, {"X_COORD", X_COORD}, {"Y_COORD", Y_COORD}, {"Z_COORD", Z_COORD},
    {"TEAM", TEAM}, {"MODEL", MODEL}, {"HEALTH", HEALTH_RATIO}}};
const ObjectiveReport kResource = {"RESOURCE", {{"resourcetower"}, {"alienresourcetower"}}, 12, {
    {"RESOURCE_NUM", NUMBER}, {"X_COORD", X_COORD}, {"Y_COORD", Y_COORD}, {"Z_COORD", Z_COORD},
    {"TEAM", TEAM}, {"MODEL", MODEL}, {"HEALTH", HEALTH_RATIO}}};
const ObjectiveReport kCommand = {"COMMAND", {{"team_command"}}, 9, {
    {"COMMAND_NUM", NUMBER}, {"X_COORD", X_COORD}, {"Y_COORD", Y_COORD}, {"Z_COORD", Z_COORD},
    {"TEAM", TEAM}, {"MODEL", MODEL}, {"HEALTH", HEALTH_RATIO}}};
// clang-format on

int colormap_team(int colormap) {
    switch (colormap) {
        case 0xA096:
            return 0;
        case 0x04FA:
            return 1;
        case 0x372D:
            return 2;
        case 0x6E64:
            return 3;
        default:
            return -1;
    }
}

int bomb_planted(const char *model) {
    if (strcmp(model, PLANTED_BOMB_MODEL) == 0)
        return 1;
    return model[0] == '\0' || strcmp(model, "models/w_backpack.mdl") == 0 ? 0 : -1;
}

// A weapon packed into a dropped "weaponbox" keeps the origin where it was packed: it lies where the
// thrown box lies.
const entvars_t &whereabouts(const EntityClass &entity_class, const edict_t *entity) {
    const edict_t *box = entity->v.owner;
    if (entity_class.packable && box && !box->free && strcmp(string_text(box->v.classname), "weaponbox") == 0)
        return box->v;
    return entity->v;
}

bool wanted(const EntityClass &entity_class, const edict_t *entity) {
    return !entity_class.model || strcmp(string_text(entity->v.model), entity_class.model) == 0;
}

void fill_cell(WorkingTable &table, int row, int column, Value value, int number, const entvars_t &entity,
               const entvars_t &place) {
    switch (value) {
        case NUMBER:
            return table_set_whole(table, row, column, number);
        case X_COORD:
            return table_set_decimal(table, row, column, place.origin[0] - x_offset);
        case Y_COORD:
            return table_set_decimal(table, row, column, place.origin[1] - y_offset);
        case Z_COORD:
            return table_set_decimal(table, row, column, place.origin[2]);
        case SKIN:
            return table_set_whole(table, row, column, entity.skin);
        case BODY:
            return table_set_whole(table, row, column, entity.body);
        case TEAM:
            return table_set_whole(table, row, column, entity.team);
        case MODEL:
            return table_set(table, row, column, string_text(entity.model));
        case NAME:
            return table_set(table, row, column, string_text(entity.netname));
        case HEALTH:
            return table_set_decimal(table, row, column, entity.health);
        case HEALTH_RATIO:
            return table_set_decimal(table, row, column, ratio_or_zero(entity.health, entity.max_health));
        case DEAD:
            return table_set_whole(table, row, column, entity.deadflag);
        case PLANTED:
            return table_set_whole(table, row, column, bomb_planted(string_text(entity.model)));
        case YAW:
            return table_set_decimal(table, row, column, entity.angles[1]);
        case COLORMAP_TEAM:
            return table_set_whole(table, row, column, colormap_team(entity.colormap));
        case EMPTY:
            return;
    }
}

int key_count(const ObjectiveReport &report) {
    int count = 0;
    while (count < MAX_KEYS && report.keys[count].name)
        ++count;
    return count;
}

// Walks the report's classes in entity-list order; the first entities found fill the table.
void build(const ObjectiveReport &report, char *buffer) {
    const int keys = key_count(report);
    const char *names[MAX_KEYS];
    for (int row = 0; row < keys; ++row)
        names[row] = report.keys[row].name;
    WorkingTable &table = report_table;
    table_reset(table, keys, report.columns, names);

    int number = 0;
    for (const EntityClass &entity_class : report.classes) {
        const char *classname = entity_class.name;
        if (!classname)
            continue;
        for (edict_t *entity = UTIL_FindEntityByClassname(nullptr, classname); entity && number + 1 < table.columns;
             entity = UTIL_FindEntityByClassname(entity, classname)) {
            if (!wanted(entity_class, entity))
                continue;
            const entvars_t &place = whereabouts(entity_class, entity);
            for (int row = 0; row < keys; ++row)
                fill_cell(table, row, number + 1, report.keys[row].value, number, entity->v, place);
            ++number;
        }
    }
    write_table(table, report.kind, buffer, REPORT_BUFFER_SIZE);
}

}  // namespace

void Get_Flag_Data(char *buffer) { build(kFlag, buffer); }
void Get_DODCAP_Data(char *buffer) { build(kControlPoint, buffer); }
void Get_Hostage_Data(char *buffer) { build(kHostage, buffer); }
void Get_CSBOMB_Data(char *buffer) { build(kBomb, buffer); }
void Get_SG_Data(char *buffer) { build(kSentry, buffer); }
void Get_Teleporter_Data(char *buffer) { build(kTeleporter, buffer); }
void Get_Dispenser_Data(char *buffer) { build(kDispenser, buffer); }
void Get_NSPHIVE_Data(char *buffer) { build(kHive, buffer); }
void Get_NSPRESOURCE_Data(char *buffer) { build(kResource, buffer); }
void Get_NSPCOMMAND_Data(char *buffer) { build(kCommand, buffer); }
