// What a running process holds and has used, read from /proc (Linux).
#pragma once

#include <sys/types.h>

#include <string>

namespace soak {

// Resident memory in kilobytes; -1 when unknown.
long resident_kilobytes(pid_t pid);
// The most resident memory it has held, in kilobytes; -1 when unknown.
long peak_resident_kilobytes(pid_t pid);
// Open descriptors; -1 when unknown.
int open_descriptors(pid_t pid);
// Processor time it has used, user and system, in seconds; -1 when unknown.
double cpu_seconds(pid_t pid);
// The bytes of the regular files directly in a folder; -1 when it cannot be listed.
long long folder_bytes(const std::string &path);

// The whole machine's processor time, busy and in all, in seconds summed over its cores.
struct MachineTime {
    double busy = 0, total = 0;
};
MachineTime machine_time();

}  // namespace soak
