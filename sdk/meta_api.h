// The plug-in host's interface: plug-in description, hook tables, per-call result record and the
// host's utility functions.
#pragma once

#include <cstdarg>

#include "archtypes.h"
#include "eiface.h"
#include "layout.h"

typedef enum { PT_NEVER, PT_STARTUP, PT_CHANGELEVEL, PT_ANYTIME, PT_ANYPAUSE } PLUG_LOADTIME;

typedef enum {
    PNL_NULL,
    PNL_INI_DELETED,
    PNL_FILE_NEWER,
    PNL_COMMAND,
    PNL_CMD_FORCED,
    PNL_DELAYED,
    PNL_PLUGIN,
    PNL_PLG_FORCED,
    PNL_RELOAD,
} PL_UNLOAD_REASON;

typedef enum { MRES_UNSET, MRES_IGNORED, MRES_HANDLED, MRES_OVERRIDE, MRES_SUPERCEDE } META_RES;

typedef enum {
    GINFO_NAME,
    GINFO_DESC,
    GINFO_GAMEDIR,
    GINFO_DLL_FULLPATH,
    GINFO_DLL_FILENAME,
    GINFO_REALDLL_FULLPATH,
} ginfo_t;

typedef struct {
    const char *ifvers;
    const char *name;
    const char *version;
    const char *date;
    const char *author;
    const char *url;
    const char *logtag;
    PLUG_LOADTIME loadable;
    PLUG_LOADTIME unloadable;
} plugin_info_t;

typedef plugin_info_t *plid_t;

ORLEX_PIN_SIZE(plugin_info_t, 36, 64);
ORLEX_PIN_OFFSET(plugin_info_t, ifvers, 0, 0);
ORLEX_PIN_OFFSET(plugin_info_t, name, 4, 8);
ORLEX_PIN_OFFSET(plugin_info_t, version, 8, 16);
ORLEX_PIN_OFFSET(plugin_info_t, date, 12, 24);
ORLEX_PIN_OFFSET(plugin_info_t, author, 16, 32);
ORLEX_PIN_OFFSET(plugin_info_t, url, 20, 40);
ORLEX_PIN_OFFSET(plugin_info_t, logtag, 24, 48);
ORLEX_PIN_OFFSET(plugin_info_t, loadable, 28, 56);
ORLEX_PIN_OFFSET(plugin_info_t, unloadable, 32, 60);

typedef struct {
    META_RES mres;
    META_RES prev_mres;
    META_RES status;
    void *orig_ret;
    void *override_ret;
} meta_globals_t;

ORLEX_PIN_SIZE(meta_globals_t, 20, 32);
ORLEX_PIN_OFFSET(meta_globals_t, mres, 0, 0);
ORLEX_PIN_OFFSET(meta_globals_t, prev_mres, 4, 4);
ORLEX_PIN_OFFSET(meta_globals_t, status, 8, 8);
ORLEX_PIN_OFFSET(meta_globals_t, orig_ret, 12, 16);
ORLEX_PIN_OFFSET(meta_globals_t, override_ret, 16, 24);

typedef int (*GETENTITYAPI_FN)(DLL_FUNCTIONS *, int);
typedef int (*GETENTITYAPI2_FN)(DLL_FUNCTIONS *, int *);
typedef int (*GETNEWDLLFUNCTIONS_FN)(NEW_DLL_FUNCTIONS *, int *);
typedef int (*GET_ENGINE_FUNCTIONS_FN)(enginefuncs_t *, int *);

typedef struct {
    GETENTITYAPI_FN pfnGetEntityAPI;
    GETENTITYAPI_FN pfnGetEntityAPI_Post;
    GETENTITYAPI2_FN pfnGetEntityAPI2;
    GETENTITYAPI2_FN pfnGetEntityAPI2_Post;
    GETNEWDLLFUNCTIONS_FN pfnGetNewDLLFunctions;
    GETNEWDLLFUNCTIONS_FN pfnGetNewDLLFunctions_Post;
    GET_ENGINE_FUNCTIONS_FN pfnGetEngineFunctions;
    GET_ENGINE_FUNCTIONS_FN pfnGetEngineFunctions_Post;
} META_FUNCTIONS;

ORLEX_PIN_SIZE(META_FUNCTIONS, 32, 64);
ORLEX_PIN_OFFSET(META_FUNCTIONS, pfnGetEntityAPI, 0, 0);
ORLEX_PIN_OFFSET(META_FUNCTIONS, pfnGetEntityAPI_Post, 4, 8);
ORLEX_PIN_OFFSET(META_FUNCTIONS, pfnGetEntityAPI2, 8, 16);
ORLEX_PIN_OFFSET(META_FUNCTIONS, pfnGetEntityAPI2_Post, 12, 24);
ORLEX_PIN_OFFSET(META_FUNCTIONS, pfnGetNewDLLFunctions, 16, 32);
ORLEX_PIN_OFFSET(META_FUNCTIONS, pfnGetNewDLLFunctions_Post, 20, 40);
ORLEX_PIN_OFFSET(META_FUNCTIONS, pfnGetEngineFunctions, 24, 48);
ORLEX_PIN_OFFSET(META_FUNCTIONS, pfnGetEngineFunctions_Post, 28, 56);

typedef struct {
    DLL_FUNCTIONS *dllapi_table;
    NEW_DLL_FUNCTIONS *newapi_table;
} gamedll_funcs_t;

ORLEX_PIN_SIZE(gamedll_funcs_t, 8, 16);
ORLEX_PIN_OFFSET(gamedll_funcs_t, dllapi_table, 0, 0);
ORLEX_PIN_OFFSET(gamedll_funcs_t, newapi_table, 4, 8);

// Passed by value to two utility functions the plug-in never calls.
typedef struct {
    float x, y;
    int effect;
    byte r1, g1, b1, a1;
    byte r2, g2, b2, a2;
    float fadeinTime, fadeoutTime, holdTime, fxTime;
    int channel;
} hudtextparms_t;

static_assert(sizeof(hudtextparms_t) == 40, "hudtextparms_t size");

// The host's utility functions, handed to Meta_Query.
typedef struct {
    void (*pfnLogConsole)(plid_t, const char *, ...);
    void (*pfnLogMessage)(plid_t, const char *, ...);
    void (*pfnLogError)(plid_t, const char *, ...);
    void (*pfnLogDeveloper)(plid_t, const char *, ...);
    void (*pfnCenterSay)(plid_t, const char *, ...);
    void (*pfnCenterSayParms)(plid_t, hudtextparms_t, const char *, ...);
    void (*pfnCenterSayVarargs)(plid_t, hudtextparms_t, const char *, va_list);
    qboolean (*pfnCallGameEntity)(plid_t, const char *, entvars_t *);
    int (*pfnGetUserMsgID)(plid_t, const char *, int *);
    const char *(*pfnGetUserMsgName)(plid_t, int, int *);
    const char *(*pfnGetPluginPath)(plid_t);
    const char *(*pfnGetGameInfo)(plid_t, ginfo_t);
    int (*pfnLoadPlugin)(plid_t, const char *, PLUG_LOADTIME, void **);
    int (*pfnUnloadPlugin)(plid_t, const char *, PLUG_LOADTIME, PL_UNLOAD_REASON);
    int (*pfnUnloadPluginByHandle)(plid_t, void *, PLUG_LOADTIME, PL_UNLOAD_REASON);
    const char *(*pfnIsQueryingClientCvar)(plid_t, const edict_t *);
    int (*pfnMakeRequestID)(plid_t);
    void (*pfnGetHookTables)(plid_t, enginefuncs_t **, DLL_FUNCTIONS **, NEW_DLL_FUNCTIONS **);
} mutil_funcs_t;

ORLEX_PIN_SIZE(mutil_funcs_t, 72, 144);
ORLEX_PIN_SLOT(mutil_funcs_t, pfnLogMessage, 1);
ORLEX_PIN_SLOT(mutil_funcs_t, pfnLogError, 2);
ORLEX_PIN_SLOT(mutil_funcs_t, pfnGetUserMsgID, 8);
ORLEX_PIN_SLOT(mutil_funcs_t, pfnGetHookTables, 17);

// The host's interface version that this plug-in is built for.
#define META_INTERFACE_VERSION "5:10"

// Signatures of the exported entry points.
typedef int (*META_QUERY_FN)(const char *, plugin_info_t **, mutil_funcs_t *);
typedef int (*META_ATTACH_FN)(PLUG_LOADTIME, META_FUNCTIONS *, meta_globals_t *, gamedll_funcs_t *);
typedef int (*META_DETACH_FN)(PLUG_LOADTIME, PL_UNLOAD_REASON);
