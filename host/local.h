// Marks a variable the library both defines and reads: read straight, not through the indirection
// a variable from another module needs. The idle frame reads a few, on every server frame.
#pragma once

#if defined(__ELF__)
#define ORLEX_LOCAL __attribute__((visibility("hidden")))
#else
#define ORLEX_LOCAL  // a Windows DLL reads its own variables straight anyway
#endif
