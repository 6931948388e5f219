#include "simhost/console.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace simhost {

static bool input_waiting() {
#if defined(_WIN32)
    DWORD available = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (GetFileType(input) == FILE_TYPE_PIPE)
        return PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) && available > 0;
    return WaitForSingleObject(input, 0) == WAIT_OBJECT_0;
#else
    pollfd input = {0, POLLIN, 0};
    return poll(&input, 1, 0) > 0;
#endif
}

static long read_input(char *buffer, unsigned size) {
#if defined(_WIN32)
    DWORD count = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, size, &count, nullptr))
        return -1;
    return static_cast<long>(count);
#else
    return static_cast<long>(read(0, buffer, size));
#endif
}

bool Console::read_line(std::string *line) {
    while (!closed_ && pending_.find('\n') == std::string::npos && input_waiting()) {
        char buffer[512];
        const long count = read_input(buffer, sizeof(buffer));
        if (count <= 0) {
            closed_ = true;
            break;
        }
        pending_.append(buffer, static_cast<size_t>(count));
    }
    const size_t end = pending_.find('\n');
    if (end == std::string::npos)
        return false;
    *line = pending_.substr(0, end);
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    pending_.erase(0, end + 1);
    return true;
}

}  // namespace simhost
