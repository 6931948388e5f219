// The plug-in's own code, linked in, bound to a fresh simulated engine.
#pragma once

#include <gtest/gtest.h>

#include "plugin/exports.h"
#include "simhost/engine.h"
#include "simhost/plugin_host.h"

class PluginFixture : public ::testing::Test {
protected:
    explicit PluginFixture(simhost::EngineConfig config = simhost::EngineConfig()) : engine(config) {
        GiveFnptrsToDll(engine.functions(), engine.globals());
    }

    // Binds and attaches the way a host does, with the server clock at `time`.
    void attach(double time = 0.0) {
        engine.set_time(time);
        plugin_info_t *info = nullptr;
        ASSERT_EQ(Meta_Query("5:13", &info, host.utility_functions()), 1);
        ASSERT_EQ(Meta_Attach(PT_STARTUP, &meta_functions, &meta_globals, nullptr), 1);
    }

    simhost::Engine engine;
    simhost::PluginHost host{engine};  // only its utility functions: the plug-in is linked in
    META_FUNCTIONS meta_functions{};
    meta_globals_t meta_globals{};
};
