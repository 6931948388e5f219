// The plug-in's code linked into a fuzz target, attached once to a simulated engine so that
// console variables, the log and engine strings work as on a server.
#pragma once

#include "plugin/exports.h"
#include "simhost/engine.h"
#include "simhost/plugin_host.h"

inline simhost::Engine &plugin_under_test() {
    static simhost::Engine engine{simhost::EngineConfig()};
    static simhost::PluginHost host{engine};
    static bool attached = [] {
        GiveFnptrsToDll(engine.functions(), engine.globals());
        plugin_info_t *info = nullptr;
        static META_FUNCTIONS functions;
        Meta_Query("5:13", &info, host.utility_functions());
        return Meta_Attach(PT_STARTUP, &functions, host.meta_globals(), host.gamedll_functions()) == 1;
    }();
    (void)attached;
    return engine;
}
