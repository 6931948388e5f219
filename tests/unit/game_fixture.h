// The plug-in's code linked in, attached to a simulated engine running a given game, with
// players and entities placed directly in the engine's world.
#pragma once

#include <string>

#include "events/game_hooks.h"
#include "simhost/player.h"
#include "stream/records.h"
#include "text/record.h"
#include "unit/plugin_fixture.h"

class GameFixture : public PluginFixture {
protected:
    explicit GameFixture(const std::string &game) : PluginFixture(config_for(game)) {
        attach();
        GameInit();
    }

    static simhost::EngineConfig config_for(const std::string &game) {
        simhost::EngineConfig config;
        config.game_dir = game;
        return config;
    }

    // A player seated in the next free slot and announced to the plug-in's connect hook.
    edict_t *join(simhost::PlayerSpec joining) {
        edict_t *player = engine.world().connect_player(joining);
        char reason[128] = "";
        if (player)
            ClientConnect(player, joining.name.c_str(), joining.address.c_str(), reason);
        return player;
    }
    edict_t *join(const std::string &name) {
        simhost::PlayerSpec joining;
        joining.name = name;
        return join(joining);
    }

    string_t text(const std::string &value) { return engine.strings().alloc(value.c_str()); }

    // Builds a report with one of the plug-in's builders and parses it.
    records::Record build(void (*builder)(char *)) {
        char buffer[REPORT_BUFFER_SIZE];
        builder(buffer);
        last_text = buffer;
        records::Record record;
        EXPECT_TRUE(records::parse_record(last_text, &record)) << last_text;
        return record;
    }

    std::string last_text;
};
