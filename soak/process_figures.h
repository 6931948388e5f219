// What a running process holds, read from /proc (Linux).
#pragma once

#include <sys/types.h>

namespace soak {

// Resident memory in kilobytes; -1 when unknown.
long resident_kilobytes(pid_t pid);
// Open descriptors; -1 when unknown.
int open_descriptors(pid_t pid);

}  // namespace soak
