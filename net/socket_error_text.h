// What an error line after a failed socket call says.
#pragma once

// Writes "prefix: text" and a line feed to standard error, as perror does. On Linux it is perror.
// On Windows, where Winsock leaves errno alone, the text is that of WSAGetLastError: the wording
// of its Linux twin with the Winsock name ("Address already in use (WSAEADDRINUSE)"), or the
// system's text for errors without a twin, or the number when the system has no text either.
namespace net {
void print_socket_error(const char *prefix);
}
