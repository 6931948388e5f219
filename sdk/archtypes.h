// Primitive types of the engine interfaces.
#pragma once

#include <cstdint>

typedef unsigned char byte;
typedef int qboolean;  // int-sized on purpose: a 1-byte bool return leaves EAX's upper bits undefined
typedef std::int32_t int32;
typedef std::uint32_t uint32;
typedef std::uint32_t CRC32_t;
typedef unsigned int string_t;  // offset from globalvars_t::pStringBase, not a pointer
typedef float vec3_t[3];

static_assert(sizeof(qboolean) == 4 && sizeof(string_t) == 4 && sizeof(vec3_t) == 12, "engine primitive sizes");

// Windows calls GiveFnptrsToDll with stdcall; every other entry is cdecl on both systems.
#if !defined(WINAPI)
#if defined(_WIN32)
#define WINAPI __stdcall
#else
#define WINAPI
#endif
#endif

struct edict_s;
typedef struct edict_s edict_t;
struct entvars_s;
typedef struct entvars_s entvars_t;
struct cvar_s;
typedef struct cvar_s cvar_t;
struct globalvars_s;
typedef struct globalvars_s globalvars_t;
