// Entities as the engine's lookups answer for them.
#include <gtest/gtest.h>

#include "simhost/engine.h"

namespace {

class Entities : public ::testing::Test {
protected:
    Entities() : engine(config()) {}
    static simhost::EngineConfig config() {
        simhost::EngineConfig config;
        config.max_clients = 4;
        config.max_entities = 16;
        return config;
    }

    edict_t *find(edict_t *start, const char *field, const char *value) {
        return engine.functions()->pfnFindEntityByString(start, field, value);
    }
    int index(const edict_t *entity) { return engine.functions()->pfnIndexOfEdict(entity); }

    simhost::Engine engine;
    simhost::World &world = engine.world();
};

}  // namespace

TEST_F(Entities, FindWithoutMatchGivesTheWorldAtOffsetZero) {
    world.create_entity("info_target");
    edict_t *none = find(nullptr, "classname", "hostage_entity");
    ASSERT_EQ(none, world.edict(0));
    EXPECT_EQ(engine.functions()->pfnEntOffsetOfPEntity(none), 0);
    // The world itself is never a match, even by its own class.
    EXPECT_EQ(find(nullptr, "classname", "worldspawn"), world.edict(0));
}

TEST_F(Entities, FindWalksEntitiesOfOneClassInOrderSkippingRemovedOnes) {
    edict_t *first = world.create_entity("hostage_entity");
    world.create_entity("info_target");
    edict_t *gone = world.create_entity("hostage_entity");
    edict_t *last = world.create_entity("hostage_entity");
    world.remove_entity(gone);

    std::vector<int> found;
    for (edict_t *e = find(nullptr, "classname", "hostage_entity"); index(e) != 0;
         e = find(e, "classname", "hostage_entity"))
        found.push_back(index(e));
    EXPECT_EQ(found, (std::vector<int>{index(first), index(last)}));
    EXPECT_GT(index(first), world.max_clients());
}

TEST_F(Entities, FindMatchesOtherStringFields) {
    edict_t *door = world.create_entity("func_door");
    door->v.targetname = engine.strings().alloc("gate");
    EXPECT_EQ(find(nullptr, "targetname", "gate"), door);
    EXPECT_EQ(find(nullptr, "target", "gate"), world.edict(0));
    EXPECT_TRUE(engine.unexpected_calls().empty());
}

TEST_F(Entities, IndexLookupGivesEmptyPlayerSlotsButNotFreeEntities) {
    EXPECT_EQ(engine.globals()->maxEntities, 16);
    EXPECT_EQ(engine.functions()->pfnPEntityOfEntIndex(0), world.edict(0));
    EXPECT_EQ(engine.functions()->pfnPEntityOfEntIndex(4), world.edict(4));
    EXPECT_EQ(engine.functions()->pfnPEntityOfEntIndex(5), nullptr);
    EXPECT_EQ(engine.functions()->pfnPEntityOfEntIndex(16), nullptr);
    edict_t *entity = world.create_entity("info_target");
    EXPECT_EQ(engine.functions()->pfnPEntityOfEntIndex(5), entity);
    EXPECT_EQ(engine.functions()->pfnEntOffsetOfPEntity(entity), 5 * static_cast<int>(sizeof(edict_t)));
}

TEST_F(Entities, CreationStopsWhenFullAndANewMapClearsAllButWorldAndPlayers) {
    for (int i = 5; i < 16; ++i)
        ASSERT_NE(world.create_entity("info_target"), nullptr);
    EXPECT_EQ(world.create_entity("info_target"), nullptr);
    edict_t *player = world.connect_player(simhost::PlayerSpec());
    engine.set_map("stalkyard");
    EXPECT_EQ(find(nullptr, "classname", "info_target"), world.edict(0));
    EXPECT_EQ(find(nullptr, "classname", "player"), player);
    EXPECT_EQ(world.edict_count(), 5);
}
