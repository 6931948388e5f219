#include "simhost/plugin_host.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace simhost {
namespace {

PluginHost *active_host = nullptr;

std::string format(const char *fmt, va_list args) {
    char text[2048];
    std::vsnprintf(text, sizeof(text), fmt, args);
    return text;
}

// "[logtag] text", with the tag of the plug-in that calls.
void log_tagged(plid_t plugin, const char *prefix, const std::string &text) {
    const char *tag = plugin && plugin->logtag ? plugin->logtag : "plugin";
    if (Engine *engine = Engine::active())
        engine->alert(at_logged, std::string("[") + tag + "] " + prefix + text + "\n");
}

void LogMessage(plid_t plugin, const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    log_tagged(plugin, "", format(fmt, args));
    va_end(args);
}

void LogError(plid_t plugin, const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    log_tagged(plugin, "ERROR: ", format(fmt, args));
    va_end(args);
}

int GetUserMsgID(plid_t, const char *name, int *size) {
    Engine *engine = Engine::active();
    return engine && name ? engine->user_message_id(name, size) : 0;
}

void UnexpectedUtility(plid_t, const char *, ...) {
    if (Engine *engine = Engine::active())
        engine->note_unexpected("a host utility function other than logging and message ids");
}

bool fail(std::string *error, const std::string &reason) {
    if (error)
        *error = reason;
    return false;
}

bool parse_version(const char *text, int *major, int *minor) {
    return text && std::sscanf(text, "%d:%d", major, minor) == 2;
}

// Fills a region with a pattern that no pointer the plug-in writes will match.
const unsigned char GUARD = 0xA5;
const size_t GUARD_BYTES = 64;

}  // namespace

PluginHost::PluginHost(Engine &engine, int engine_table_entries)
    : engine_(engine), engine_table_entries_(engine_table_entries) {
    active_host = this;
    mutil_.pfnLogConsole = UnexpectedUtility;
    mutil_.pfnLogMessage = LogMessage;
    mutil_.pfnLogError = LogError;
    mutil_.pfnLogDeveloper = UnexpectedUtility;
    mutil_.pfnCenterSay = UnexpectedUtility;
    mutil_.pfnGetUserMsgID = GetUserMsgID;
    gamedll_.dllapi_table = &game_functions_;
}

PluginHost::~PluginHost() {
    unload();
    if (active_host == this)
        active_host = nullptr;
}

bool PluginHost::open(const std::string &path, std::string *error) {
    if (!library_.open(path, error))
        return false;
    entry_.GiveFnptrsToDll = reinterpret_cast<GIVEFNPTRSTODLL_FN>(library_.symbol("GiveFnptrsToDll"));
    entry_.Meta_Query = reinterpret_cast<META_QUERY_FN>(library_.symbol("Meta_Query"));
    entry_.Meta_Attach = reinterpret_cast<META_ATTACH_FN>(library_.symbol("Meta_Attach"));
    entry_.Meta_Detach = reinterpret_cast<META_DETACH_FN>(library_.symbol("Meta_Detach"));
    entry_.GetEntityAPI2 = reinterpret_cast<GETENTITYAPI2_FN>(library_.symbol("GetEntityAPI2"));
    entry_.GetEngineFunctions = reinterpret_cast<GET_ENGINE_FUNCTIONS_FN>(library_.symbol("GetEngineFunctions"));
    if (!entry_.GiveFnptrsToDll || !entry_.Meta_Query || !entry_.Meta_Attach || !entry_.Meta_Detach) {
        library_.close();
        return fail(error, path + " lacks a required entry point");
    }
    return true;
}

bool PluginHost::load(const std::string &path, std::string *error) {
    if (!open(path, error))
        return false;
    entry_.GiveFnptrsToDll(engine_.functions(), engine_.globals());
    if (!query_and_attach(error)) {
        library_.close();
        return false;
    }
    fetch_tables();
    return true;
}

bool PluginHost::query_and_attach(std::string *error) {
    if (entry_.Meta_Query(INTERFACE_VERSION_TEXT, &info_, &mutil_) != 1 || !info_)
        return fail(error, "Meta_Query failed");
    int host_major = 0, host_minor = 0, major = 0, minor = 0;
    parse_version(INTERFACE_VERSION_TEXT, &host_major, &host_minor);
    if (!parse_version(info_->ifvers, &major, &minor) || major != host_major || minor > host_minor)
        return fail(error, std::string("plug-in interface version ") + (info_->ifvers ? info_->ifvers : "(none)") +
                               " does not fit host version " + INTERFACE_VERSION_TEXT);
    if (minor < host_minor)
        engine_.alert(at_logged, std::string("[META] plug-in \"") + (info_->name ? info_->name : "") +
                                     "\" uses an older interface version " + info_->ifvers + "\n");
    if (info_->loadable < PT_STARTUP)
        return fail(error, "plug-in may never be loaded");
    meta_globals_.mres = MRES_UNSET;
    if (entry_.Meta_Attach(PT_STARTUP, &meta_functions_, &meta_globals_, &gamedll_) != 1)
        return fail(error, "Meta_Attach failed");
    attached_ = true;
    return true;
}

void PluginHost::fetch_tables() {
    if (meta_functions_.pfnGetEntityAPI2) {
        int version = ::INTERFACE_VERSION;
        if (!meta_functions_.pfnGetEntityAPI2(&dll_hooks_, &version))
            engine_.alert(at_logged, "[META] GetEntityAPI2 failed; version " + std::to_string(version) + "\n");
    }
    if (meta_functions_.pfnGetEngineFunctions) {
        // The host's buffer: zero-filled, engine_table_entries_ long, followed by a guard area.
        const size_t size = static_cast<size_t>(engine_table_entries_) * sizeof(void *);
        std::vector<unsigned char> buffer(std::max(size, sizeof(enginefuncs_t)) + GUARD_BYTES, GUARD);
        std::memset(buffer.data(), 0, size);
        int version = ENGINE_INTERFACE_VERSION;
        if (!meta_functions_.pfnGetEngineFunctions(reinterpret_cast<enginefuncs_t *>(buffer.data()), &version))
            engine_.alert(at_logged, "[META] GetEngineFunctions failed; version " + std::to_string(version) + "\n");
        for (size_t i = size; i < buffer.size(); ++i)
            if (buffer[i] != GUARD) {
                violations_.push_back("GetEngineFunctions wrote past the host's " +
                                      std::to_string(engine_table_entries_) + "-entry table");
                break;
            }
        std::memcpy(&engine_hooks_, buffer.data(), std::min(size, sizeof(enginefuncs_t)));
    }
}

void PluginHost::unload() {
    if (!library_.is_open())
        return;
    if (attached_)
        entry_.Meta_Detach(PT_ANYTIME, PNL_COMMAND);
    attached_ = false;
    dll_hooks_ = DLL_FUNCTIONS{};
    engine_hooks_ = enginefuncs_t{};
    info_ = nullptr;
    library_.close();
}

void PluginHost::check_result(const char *name) {
    if (meta_globals_.mres != MRES_IGNORED)
        violations_.push_back(std::string(name) + " left result " + std::to_string(meta_globals_.mres));
}

// Sets the result to unset before the hook and checks it afterwards, as the host does; when
// asked, also times the hook.
struct PluginHost::ResultCheck {
    PluginHost &host;
    const char *name;
    std::chrono::steady_clock::time_point start =
        host.timing_ ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point();
    ~ResultCheck() {
        if (host.timing_) {
            host.hook_time_ += std::chrono::steady_clock::now() - start;
            ++host.hook_calls_;
        }
        host.check_result(name);
    }
};

template <typename Fn, typename... Args>
auto PluginHost::call_hook(const char *name, Fn hook, Args... args) {
    meta_globals_.mres = MRES_UNSET;
    ResultCheck check{*this, name};
    return hook(args...);
}

#define ORLEX_DISPATCH(table, slot, ...)               \
    do {                                               \
        if (table.slot)                                \
            call_hook(#slot, table.slot, __VA_ARGS__); \
    } while (0)

void PluginHost::game_init() {
    if (dll_hooks_.pfnGameInit)
        call_hook("pfnGameInit", dll_hooks_.pfnGameInit);
}

// Then the game's own function (a test may fill the game's table), unless the plug-in superseded it.
#define ORLEX_DISPATCH_TO_GAME(slot, ...)                                 \
    do {                                                                  \
        meta_globals_.mres = MRES_UNSET;                                  \
        ORLEX_DISPATCH(dll_hooks_, slot, __VA_ARGS__);                    \
        if (game_functions_.slot && meta_globals_.mres != MRES_SUPERCEDE) \
            game_functions_.slot(__VA_ARGS__);                            \
    } while (0)

qboolean PluginHost::client_connect(edict_t *player, const char *name, const char *address, char reject_reason[128]) {
    meta_globals_.mres = MRES_UNSET;
    qboolean answer = 1;
    if (dll_hooks_.pfnClientConnect)
        answer = call_hook("pfnClientConnect", dll_hooks_.pfnClientConnect, player, name, address,
                           static_cast<char *>(reject_reason));
    if (meta_globals_.mres == MRES_SUPERCEDE)
        return answer;
    return game_client_connect(player, name, address, reject_reason);
}

// The simulated game accepts every player unless a test gave it a function of its own.
qboolean PluginHost::game_client_connect(edict_t *player, const char *name, const char *address,
                                         char reject_reason[128]) {
    return game_functions_.pfnClientConnect ? game_functions_.pfnClientConnect(player, name, address, reject_reason)
                                            : 1;
}

void PluginHost::game_client_put_in_server(edict_t *player) {
    if (game_functions_.pfnClientPutInServer)
        game_functions_.pfnClientPutInServer(player);
}

void PluginHost::client_put_in_server(edict_t *player) { ORLEX_DISPATCH_TO_GAME(pfnClientPutInServer, player); }

void PluginHost::client_disconnect(edict_t *player) { ORLEX_DISPATCH_TO_GAME(pfnClientDisconnect, player); }

void PluginHost::client_command(edict_t *player) { ORLEX_DISPATCH_TO_GAME(pfnClientCommand, player); }

void PluginHost::server_activate(edict_t *edicts, int edict_count, int client_max) {
    ORLEX_DISPATCH_TO_GAME(pfnServerActivate, edicts, edict_count, client_max);
}

void PluginHost::start_frame() {
    if (dll_hooks_.pfnStartFrame)
        call_hook("pfnStartFrame", dll_hooks_.pfnStartFrame);
}

void PluginHost::server_command(const char *text) {
    ORLEX_DISPATCH(engine_hooks_, pfnServerCommand, text);
    engine_.functions()->pfnServerCommand(text);
}

// The engine's own message functions do nothing the simulated clients need yet.
void PluginHost::message_begin(int dest, int type, const float *origin, edict_t *target) {
    ORLEX_DISPATCH(engine_hooks_, pfnMessageBegin, dest, type, origin, target);
}
void PluginHost::message_end() {
    if (engine_hooks_.pfnMessageEnd)
        call_hook("pfnMessageEnd", engine_hooks_.pfnMessageEnd);
}
void PluginHost::write_byte(int value) { ORLEX_DISPATCH(engine_hooks_, pfnWriteByte, value); }
void PluginHost::write_char(int value) { ORLEX_DISPATCH(engine_hooks_, pfnWriteChar, value); }
void PluginHost::write_short(int value) { ORLEX_DISPATCH(engine_hooks_, pfnWriteShort, value); }
void PluginHost::write_long(int value) { ORLEX_DISPATCH(engine_hooks_, pfnWriteLong, value); }
void PluginHost::write_angle(float value) { ORLEX_DISPATCH(engine_hooks_, pfnWriteAngle, value); }
void PluginHost::write_coord(float value) { ORLEX_DISPATCH(engine_hooks_, pfnWriteCoord, value); }
void PluginHost::write_string(const char *text) { ORLEX_DISPATCH(engine_hooks_, pfnWriteString, text); }
void PluginHost::write_entity(int index) { ORLEX_DISPATCH(engine_hooks_, pfnWriteEntity, index); }

}  // namespace simhost
