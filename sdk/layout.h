// Compile-time pins of the binary layouts shared with the engine and the host.
// One field out of place crashes a real server, so every layout the plug-in touches is checked
// against the measured numbers: the i386 column in 32-bit builds, the x86_64 column in native ones.
#pragma once

#include <cstddef>

#define ORLEX_ABI_PICK(i386, x86_64) (sizeof(void *) == 4 ? (i386) : (x86_64))

#define ORLEX_PIN_SIZE(type, i386, x86_64) \
    static_assert(sizeof(type) == ORLEX_ABI_PICK(i386, x86_64), "size of " #type " differs from the host's")

#define ORLEX_PIN_OFFSET(type, field, i386, x86_64) \
    static_assert(offsetof(type, field) == ORLEX_ABI_PICK(i386, x86_64), #type "." #field " is out of place")

// Function tables: slot N lies at N pointers from the start on every ABI.
#define ORLEX_PIN_SLOT(type, field, slot) \
    static_assert(offsetof(type, field) == (slot) * sizeof(void *), #type "." #field " is not slot " #slot)
