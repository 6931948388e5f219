// orlex_client --replay: a recording shown through the same fold and view as a live server.
#pragma once

#include <csignal>
#include <cstdio>

#include "client/display.h"
#include "client/options.h"

namespace client {

// At the recording's pace times --speed; with --once the last state at once; with --raw the records
// exactly as they arrived, at once. 0 when the file read back whole (a torn last entry included), 1 otherwise.
int replay(const Options &options, Display &display, std::FILE *messages, const volatile std::sig_atomic_t &stop);

}  // namespace client
