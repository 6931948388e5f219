#include "soak/process_figures.h"

#include <dirent.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace soak {

long resident_kilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

int open_descriptors(pid_t pid) {
    DIR *folder = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!folder)
        return -1;
    int count = 0;
    while (const dirent *entry = readdir(folder))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(folder);
    return count;
}

}  // namespace soak
