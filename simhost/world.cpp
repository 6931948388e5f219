#include "simhost/world.h"

#include <algorithm>
#include <cstring>

#include "simhost/entity_fields.h"

namespace simhost {

World::World(StringPool &strings, int max_clients, int max_entities)
    : strings_(strings), max_clients_(std::clamp(max_clients, 1, MAX_PLAYER_SLOTS)) {
    edicts_.resize(static_cast<size_t>(std::max(max_entities, max_clients_ + 1)));
    players_.resize(static_cast<size_t>(max_clients_) + 1);
    for (edict_t &entity : edicts_)
        clear(&entity);
    edict_t *world = &edicts_[0];
    world->free = 0;
    world->v.classname = strings_.alloc("worldspawn");
}

void World::clear(edict_t *entity) {
    const int serial = entity->serialnumber;
    std::memset(entity, 0, sizeof(*entity));
    entity->serialnumber = serial;
    entity->free = 1;
    entity->v.pContainingEntity = entity;
}

int World::edict_count() const {
    int count = max_clients_ + 1;
    for (int index = count; index < max_entities(); ++index)
        if (!edicts_[index].free)
            count = index + 1;
    return count;
}

edict_t *World::edict(int index) { return index >= 0 && index < max_entities() ? &edicts_[index] : nullptr; }

int World::index_of(const edict_t *entity) const {
    const edict_t *first = edicts_.data();
    if (!entity || entity < first || entity >= first + edicts_.size())
        return -1;
    return static_cast<int>(entity - first);
}

bool World::is_player_slot(const edict_t *entity) const {
    const int index = index_of(entity);
    return index >= 1 && index <= max_clients_;
}

edict_t *World::entity_of_index(int index) {
    edict_t *entity = edict(index);
    if (!entity || (entity->free && !is_player_slot(entity)))
        return nullptr;
    return entity;
}

int World::offset_of(const edict_t *entity) const {
    const int index = index_of(entity);
    return index < 0 ? 0 : index * static_cast<int>(sizeof(edict_t));
}

edict_t *World::entity_of_offset(int offset) {
    const int size = static_cast<int>(sizeof(edict_t));
    return offset >= 0 && offset % size == 0 ? edict(offset / size) : nullptr;
}

edict_t *World::find_by_string(const edict_t *start, const char *field, const char *value) {
    const int first = std::max(index_of(start), 0) + 1;
    for (int index = first; value && index < max_entities(); ++index) {
        const edict_t &entity = edicts_[index];
        const string_t *text = entity.free ? nullptr : string_field(entity.v, field);
        if (text && std::strcmp(strings_.text(*text), value) == 0)
            return &edicts_[index];
    }
    return &edicts_[0];
}

edict_t *World::create_entity(const std::string &classname) {
    for (int index = max_clients_ + 1; index < max_entities(); ++index) {
        edict_t *entity = &edicts_[index];
        if (!entity->free)
            continue;
        clear(entity);
        ++entity->serialnumber;
        entity->free = 0;
        entity->v.classname = strings_.intern(classname);
        return entity;
    }
    return nullptr;
}

void World::remove_entity(edict_t *entity) {
    if (index_of(entity) > 0)
        clear(entity);
}

void World::start_map(const std::string &map) {
    for (int index = max_clients_ + 1; index < max_entities(); ++index)
        if (!edicts_[index].free)
            clear(&edicts_[index]);
    edicts_[0].v.model = strings_.intern("maps/" + map + ".bsp");
}

edict_t *World::connect_player(const PlayerSpec &joining) {
    for (int slot = 1; slot <= max_clients_; ++slot) {
        if (players_[slot].connected)
            continue;
        edict_t *player = &edicts_[slot];
        clear(player);
        ++player->serialnumber;
        dress_player_edict(player, joining, strings_);
        players_[slot] = describe_player(joining, ++last_user_id_);
        return player;
    }
    return nullptr;
}

void World::disconnect_player(edict_t *player) {
    if (!is_player_slot(player))
        return;
    players_[index_of(player)] = PlayerInfo();
    clear(player);
}

void World::renew_user_id(edict_t *player) {
    if (PlayerInfo *info = player_info(player))
        info->user_id = ++last_user_id_;
}

PlayerInfo *World::player_info(const edict_t *player) {
    if (!is_player_slot(player))
        return nullptr;
    PlayerInfo &info = players_[index_of(player)];
    return info.connected ? &info : nullptr;
}

std::vector<edict_t *> World::connected_players() {
    std::vector<edict_t *> players;
    for (int slot = 1; slot <= max_clients_; ++slot)
        if (players_[slot].connected)
            players.push_back(&edicts_[slot]);
    return players;
}

}  // namespace simhost
