// The simulated plug-in host: loads a plug-in by path, binds it in the host's order, calls its
// hooks before the game's own functions and checks that every hook reported its result.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "sdk/meta_api.h"
#include "simhost/engine.h"
#include "simhost/library.h"

namespace simhost {

// The plug-in's exported entry points, resolved by name.
struct EntryPoints {
    GIVEFNPTRSTODLL_FN GiveFnptrsToDll = nullptr;
    META_QUERY_FN Meta_Query = nullptr;
    META_ATTACH_FN Meta_Attach = nullptr;
    META_DETACH_FN Meta_Detach = nullptr;
    GETENTITYAPI2_FN GetEntityAPI2 = nullptr;
    GET_ENGINE_FUNCTIONS_FN GetEngineFunctions = nullptr;
};

class PluginHost {
public:
    // The host's own interface version; plug-ins built for an older minor version load with a note.
    static constexpr const char *INTERFACE_VERSION_TEXT = "5:13";

    // engine_table_entries: how many engine-table entries this host allocates for the plug-in's
    // engine hooks (older hosts allocate fewer than 158).
    explicit PluginHost(Engine &engine, int engine_table_entries = 158);
    ~PluginHost();
    PluginHost(const PluginHost &) = delete;
    PluginHost &operator=(const PluginHost &) = delete;

    // Opens the library and resolves its entry points, without calling any.
    bool open(const std::string &path, std::string *error);
    // open, then the whole binding: GiveFnptrsToDll, Meta_Query with the version check,
    // Meta_Attach, then the table getters named by the plug-in's META_FUNCTIONS.
    bool load(const std::string &path, std::string *error);
    // Meta_Detach, then the library is closed.
    void unload();

    const EntryPoints &entry_points() const { return entry_; }
    const plugin_info_t *plugin_info() const { return info_; }
    mutil_funcs_t *utility_functions() { return &mutil_; }
    meta_globals_t *meta_globals() { return &meta_globals_; }
    gamedll_funcs_t *gamedll_functions() { return &gamedll_; }
    const META_FUNCTIONS &meta_functions() const { return meta_functions_; }
    const DLL_FUNCTIONS &dll_hooks() const { return dll_hooks_; }
    const enginefuncs_t &engine_hooks() const { return engine_hooks_; }
    bool attached() const { return attached_; }

    // Hooks that left a result other than "ignored", and writes past the engine-hook buffer.
    const std::vector<std::string> &violations() const { return violations_; }

    // Time spent inside the plug-in's hooks, counted while timing is on (each call then also pays
    // for two clock readings, which a caller can measure and take off).
    void time_hooks(bool on) { timing_ = on; }
    std::chrono::steady_clock::duration hook_time() const { return hook_time_; }
    long hook_calls() const { return hook_calls_; }

    // The game's entry points as the engine calls them: the plug-in's hook first, then for the
    // client and activation calls the game's own function from gamedll_functions() when one is set.
    void game_init();
    // The plug-in may refuse the player only by superseding the game's answer.
    qboolean client_connect(edict_t *player, const char *name, const char *address, char reject_reason[128]);
    // The game's own functions alone, as the game calls them for the bots it creates itself: the
    // plug-ins never see these connections.
    qboolean game_client_connect(edict_t *player, const char *name, const char *address, char reject_reason[128]);
    void game_client_put_in_server(edict_t *player);
    void client_put_in_server(edict_t *player);
    void client_disconnect(edict_t *player);
    void client_command(edict_t *player);
    void server_activate(edict_t *edicts, int edict_count, int client_max);
    void start_frame();

    // The game's calls into the engine, seen by the plug-in's engine hooks first.
    void server_command(const char *text);
    void message_begin(int dest, int type, const float *origin, edict_t *target);
    void message_end();
    void write_byte(int value);
    void write_char(int value);
    void write_short(int value);
    void write_long(int value);
    void write_angle(float value);
    void write_coord(float value);
    void write_string(const char *text);
    void write_entity(int index);

private:
    struct ResultCheck;
    template <typename Fn, typename... Args>
    auto call_hook(const char *name, Fn hook, Args... args);
    void check_result(const char *name);
    bool query_and_attach(std::string *error);
    void fetch_tables();

    Engine &engine_;
    Library library_;
    EntryPoints entry_;
    plugin_info_t *info_ = nullptr;
    mutil_funcs_t mutil_{};
    meta_globals_t meta_globals_{};
    gamedll_funcs_t gamedll_{};
    DLL_FUNCTIONS game_functions_{};  // the simulated game's own table (empty unless a test fills it)
    META_FUNCTIONS meta_functions_{};
    DLL_FUNCTIONS dll_hooks_{};
    int engine_table_entries_;
    enginefuncs_t engine_hooks_{};
    bool attached_ = false;
    std::vector<std::string> violations_;
    bool timing_ = false;
    std::chrono::steady_clock::duration hook_time_{};
    long hook_calls_ = 0;
};

}  // namespace simhost
