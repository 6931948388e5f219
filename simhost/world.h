// The engine's entities: one array of edicts allocated once (the game and plug-ins keep pointers
// into it), the world at index 0, the player slots 1..max_clients, other entities above them.
#pragma once

#include <string>
#include <vector>

#include "sdk/eiface.h"
#include "simhost/player.h"
#include "simhost/string_pool.h"

namespace simhost {

class World {
public:
    static constexpr int MAX_PLAYER_SLOTS = 32;

    // max_clients is held to 1..MAX_PLAYER_SLOTS, and max_entities leaves room for them all.
    World(StringPool &strings, int max_clients, int max_entities);
    World(const World &) = delete;
    World &operator=(const World &) = delete;

    int max_clients() const { return max_clients_; }
    int max_entities() const { return static_cast<int>(edicts_.size()); }
    edict_t *edicts() { return edicts_.data(); }
    // One past the highest index in use, never below the player slots (what ServerActivate gets).
    int edict_count() const;

    // Any edict, used or not; null out of range.
    edict_t *edict(int index);
    // -1 for a pointer that is not one of ours.
    int index_of(const edict_t *entity) const;
    bool is_player_slot(const edict_t *entity) const;

    // Lookups as the engine answers them.
    // Player slots even when empty (real engines do that), other entities only while in use.
    edict_t *entity_of_index(int index);
    // Byte offset from the start of the array (the world is 0); 0 for a pointer not ours.
    int offset_of(const edict_t *entity) const;
    // Null unless the offset is exactly that of an edict.
    edict_t *entity_of_offset(int offset);
    // The next entity in use after start (null or the world: from index 1) whose named string field
    // holds value; the world edict when there is none, so callers must treat offset 0 as "none".
    edict_t *find_by_string(const edict_t *start, const char *field, const char *value);

    // The first free index above the player slots; null when full.
    edict_t *create_entity(const std::string &classname);
    void remove_entity(edict_t *entity);
    // A new map: every entity but the world and the players goes.
    void start_map(const std::string &map);

    // Seats a client in the lowest free player slot, with the next user id; null when full.
    edict_t *connect_player(const PlayerSpec &joining);
    void disconnect_player(edict_t *player);
    // A connected client dropped and taken back into its slot at once: a new user id, nothing else.
    void renew_user_id(edict_t *player);
    // Null unless the edict is a connected player.
    PlayerInfo *player_info(const edict_t *player);
    std::vector<edict_t *> connected_players();

private:
    void clear(edict_t *entity);

    StringPool &strings_;
    int max_clients_;
    std::vector<edict_t> edicts_;      // sized once: growing it would move every edict
    std::vector<PlayerInfo> players_;  // by edict index; 0 is unused
    int last_user_id_ = 0;
};

}  // namespace simhost
