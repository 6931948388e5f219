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
    return table;
}

}  // namespace simhost
