// Constants and enums of the engine interfaces (all enums are int-sized).
#pragma once

// Console variable flags.
enum {
    FCVAR_ARCHIVE = 1,
    FCVAR_USERINFO = 2,
    FCVAR_SERVER = 4,
    FCVAR_EXTDLL = 8,
    FCVAR_CLIENTDLL = 16,
    FCVAR_PROTECTED = 32,
    FCVAR_SPONLY = 64,
    FCVAR_PRINTABLEONLY = 128,
    FCVAR_UNLOGGED = 256,
};

typedef enum { at_notice, at_console, at_aiconsole, at_warning, at_error, at_logged } ALERT_TYPE;
typedef enum { print_console, print_center, print_chat } PRINT_TYPE;
typedef enum {
    force_exactfile,
    force_model_samebounds,
    force_model_specifybounds,
    force_model_specifybounds_if_avail
} FORCE_TYPE;

// Message destinations.
enum {
    MSG_BROADCAST = 0,
    MSG_ONE = 1,
    MSG_ALL = 2,
    MSG_INIT = 3,
    MSG_PVS = 4,
    MSG_PAS = 5,
    MSG_PVS_R = 6,
    MSG_PAS_R = 7,
    MSG_ONE_UNRELIABLE = 8,
    MSG_SPEC = 9,
};

// entvars_t::flags bits.
enum {
    FL_CLIENT = 1 << 3,
    FL_ONGROUND = 1 << 9,
    FL_FAKECLIENT = 1 << 13,
    FL_DUCKING = 1 << 14,
    FL_PROXY = 1 << 20,
};

// entvars_t::deadflag values.
enum { DEAD_NO = 0, DEAD_DYING = 1, DEAD_DEAD = 2, DEAD_RESPAWNABLE = 3, DEAD_DISCARDBODY = 4 };

// Interface versions the tables are exchanged under.
enum {
    INTERFACE_VERSION = 140,         // DLL_FUNCTIONS
    ENGINE_INTERFACE_VERSION = 138,  // enginefuncs_t
    NEW_DLL_FUNCTIONS_VERSION = 1,
};
