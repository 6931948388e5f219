// The engine function table: a typed stand-in for every entry, replaced by the services a plug-in
// is expected to call. A call to any other entry is recorded as unexpected.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

#include "simhost/engine.h"
#include "simhost/engine_slots.h"

namespace simhost {
namespace {

const int SLOT_COUNT = sizeof(enginefuncs_t) / sizeof(void *);
const char *slot_names[SLOT_COUNT];

void note_unexpected(int slot) {
    if (Engine *engine = Engine::active())
        engine->note_unexpected(slot_names[slot]);
}

template <int Slot, typename Fn>
struct Unexpected;

template <int Slot, typename R, typename... A>
struct Unexpected<Slot, R (*)(A...)> {
    static R call(A...) {
        note_unexpected(Slot);
        return R();
    }
};

template <int Slot, typename R, typename... A>
struct Unexpected<Slot, R (*)(A..., ...)> {
    static R call(A..., ...) {
        note_unexpected(Slot);
        return R();
    }
};

std::string format(const char *fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (size <= 0)
        return std::string();
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), fmt, args);
    text.resize(static_cast<size_t>(size));
    return text;
}

Engine &engine() { return *Engine::active(); }

void CVarRegister(cvar_t *var) {
    if (var)
        engine().cvars().register_copy(*var);
}
cvar_t *CVarGetPointer(const char *name) { return name ? engine().cvars().find(name) : nullptr; }
// A missing variable gives null, the harshest answer an engine may give.
const char *CVarGetString(const char *name) {
    const cvar_t *var = CVarGetPointer(name);
    return var ? var->string : nullptr;
}
void Cvar_DirectSet(cvar_t *var, const char *text) { engine().cvars().direct_set(var, text); }
void ServerCommand(const char *text) { engine().server_command(text); }
void AlertMessage(ALERT_TYPE level, const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::string text = format(fmt, args);
    va_end(args);
    engine().alert(level, text);
}
void GetGameDir(char *buffer) {
    if (buffer)
        engine().game_dir(buffer);
}
byte *LoadFileForMe(const char *path, int *length) { return engine().load_file(path, length); }
void FreeFile(void *data) { engine().free_file(data); }

edict_t *FindEntityByString(edict_t *start, const char *field, const char *value) {
    return engine().find_entity_by_string(start, field, value);
}
edict_t *PEntityOfEntOffset(int offset) { return engine().world().entity_of_offset(offset); }
int EntOffsetOfPEntity(const edict_t *entity) { return engine().world().offset_of(entity); }
int IndexOfEdict(const edict_t *entity) { return engine().index_of_edict(entity); }
edict_t *PEntityOfEntIndex(int index) { return engine().world().entity_of_index(index); }

const char *Cmd_Args() { return engine().command().args(); }
const char *Cmd_Argv(int index) { return engine().command().argv(index); }
int Cmd_Argc() { return engine().command().argc(); }

char *GetInfoKeyBuffer(edict_t *player) { return engine().info_key_buffer(player); }
char *InfoKeyValue(char *buffer, const char *key) { return engine().info_key_value(buffer, key); }
int GetPlayerUserId(edict_t *player) { return engine().player_user_id(player); }
void GetPlayerStats(const edict_t *player, int *ping, int *loss) { engine().player_stats(player, ping, loss); }
const char *GetPlayerAuthId(edict_t *player) { return engine().player_auth_id(player); }

}  // namespace

enginefuncs_t make_engine_table() {
    enginefuncs_t table;
#define ORLEX_UNEXPECTED(name)                                          \
    slot_names[offsetof(enginefuncs_t, name) / sizeof(void *)] = #name; \
    table.name = Unexpected<offsetof(enginefuncs_t, name) / sizeof(void *), decltype(table.name)>::call;
    ORLEX_ENGINE_SLOTS(ORLEX_UNEXPECTED)
#undef ORLEX_UNEXPECTED

    table.pfnCVarRegister = CVarRegister;
    table.pfnCVarGetPointer = CVarGetPointer;
    table.pfnCVarGetString = CVarGetString;
    table.pfnCvar_DirectSet = Cvar_DirectSet;
    table.pfnServerCommand = ServerCommand;
    table.pfnAlertMessage = AlertMessage;
    table.pfnGetGameDir = GetGameDir;
    table.pfnLoadFileForMe = LoadFileForMe;
    table.pfnFreeFile = FreeFile;
    table.pfnFindEntityByString = FindEntityByString;
    table.pfnPEntityOfEntOffset = PEntityOfEntOffset;
    table.pfnEntOffsetOfPEntity = EntOffsetOfPEntity;
    table.pfnIndexOfEdict = IndexOfEdict;
    table.pfnPEntityOfEntIndex = PEntityOfEntIndex;
    table.pfnCmd_Args = Cmd_Args;
    table.pfnCmd_Argv = Cmd_Argv;
    table.pfnCmd_Argc = Cmd_Argc;
    table.pfnGetInfoKeyBuffer = GetInfoKeyBuffer;
    table.pfnInfoKeyValue = InfoKeyValue;
    table.pfnGetPlayerUserId = GetPlayerUserId;
    table.pfnGetPlayerStats = GetPlayerStats;
    table.pfnGetPlayerAuthId = GetPlayerAuthId;
    return table;
}

}  // namespace simhost
