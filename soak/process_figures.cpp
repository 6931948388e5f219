#include "soak/process_figures.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace soak {
namespace {

long status_kilobytes(pid_t pid, const std::string &key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

}  // namespace

long resident_kilobytes(pid_t pid) { return status_kilobytes(pid, "VmRSS:"); }

long peak_resident_kilobytes(pid_t pid) { return status_kilobytes(pid, "VmHWM:"); }

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

double cpu_seconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos)
        return -1;
    // After the name: state, then 10 fields before utime and stime (fields 14 and 15 of the line).
    std::istringstream fields(stat.substr(name_end + 2));
    std::string skipped;
    for (int field = 0; field < 11; ++field)
        fields >> skipped;
    double user = 0, system = 0;
    if (!(fields >> user >> system))
        return -1;
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long long folder_bytes(const std::string &path) {
    DIR *folder = opendir(path.c_str());
    if (!folder)
        return -1;
    long long bytes = 0;
    while (const dirent *entry = readdir(folder)) {
        struct stat facts {};
        if (entry->d_name[0] != '.' && stat((path + "/" + entry->d_name).c_str(), &facts) == 0 &&
            S_ISREG(facts.st_mode))
            bytes += facts.st_size;
    }
    closedir(folder);
    return bytes;
}

MachineTime machine_time() {
    std::ifstream file("/proc/stat");
    std::string label;
    file >> label;  // "cpu": the sum over every core
    double ticks[8] = {};
    for (double &tick : ticks)
        file >> tick;
    MachineTime time;
    for (double tick : ticks)
        time.total += tick;
    time.busy = time.total - ticks[3] - ticks[4];  // less idle and waiting for the disk
    const double per_second = static_cast<double>(sysconf(_SC_CLK_TCK));
    time.busy /= per_second;
    time.total /= per_second;
    return time;
}

}  // namespace soak
