#include "net/socket_error_text.h"

#include <cstdio>

#include "net/socket_port.h"

namespace net {

#if defined(_WIN32)

namespace {

struct WinsockErrorText {
    int error;
    const char *name;
    const char *text;
};

// What socket, bind and listen can fail with. Named in the code's own table: the system's texts
// vary with the language of the installation, and some systems have none.
const WinsockErrorText kErrorTexts[] = {
    {WSANOTINITIALISED, "WSANOTINITIALISED", "Winsock is not started"},
    {WSAENETDOWN, "WSAENETDOWN", "Network is down"},
    {WSAEAFNOSUPPORT, "WSAEAFNOSUPPORT", "Address family not supported by protocol"},
    {WSAEMFILE, "WSAEMFILE", "Too many open files"},
    {WSAENOBUFS, "WSAENOBUFS", "No buffer space available"},
    {WSAEPROTONOSUPPORT, "WSAEPROTONOSUPPORT", "Protocol not supported"},
    {WSAEPROTOTYPE, "WSAEPROTOTYPE", "Protocol wrong type for socket"},
    {WSAESOCKTNOSUPPORT, "WSAESOCKTNOSUPPORT", "Socket type not supported"},
    {WSAEACCES, "WSAEACCES", "Permission denied"},
    {WSAEADDRINUSE, "WSAEADDRINUSE", "Address already in use"},
    {WSAEADDRNOTAVAIL, "WSAEADDRNOTAVAIL", "Cannot assign requested address"},
    {WSAEFAULT, "WSAEFAULT", "Bad address"},
    {WSAEINVAL, "WSAEINVAL", "Invalid argument"},
    {WSAENOTSOCK, "WSAENOTSOCK", "Socket operation on non-socket"},
    {WSAEISCONN, "WSAEISCONN", "Transport endpoint is already connected"},
    {WSAEOPNOTSUPP, "WSAEOPNOTSUPP", "Operation not supported"},
    {WSAEINPROGRESS, "WSAEINPROGRESS", "Operation now in progress"},
};

// The system's text, without its closing line break; false when it has none.
bool system_text(int error, char *text, DWORD size) {
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(error), 0, text, size, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
        --length;
    text[length < size ? length : 0] = '\0';
    return length > 0;
}

}  // namespace

void print_socket_error(const char *prefix) {
    const int error = WSAGetLastError();
    for (const WinsockErrorText &known : kErrorTexts) {
        if (known.error == error) {
            fprintf(stderr, "%s: %s (%s)\n", prefix, known.text, known.name);
            return;
        }
    }
    char text[256];
    if (system_text(error, text, sizeof(text)))
        fprintf(stderr, "%s: %s (Winsock error %d)\n", prefix, text, error);
    else
        fprintf(stderr, "%s: Winsock error %d\n", prefix, error);
}

#else

void print_socket_error(const char *prefix) { perror(prefix); }

#endif

}  // namespace net
