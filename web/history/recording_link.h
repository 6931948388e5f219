// Which recording covers a match: the recorder names each file by the UTC time it was opened and
// the server, so the file of the server opened last before the match began (or just after) is it.
#pragma once

#include <cstdint>
#include <string>

namespace web::history {

// False when no file of the directory fits; `opened_ms` is the file's time (Unix ms), the origin
// of its offsets.
bool find_recording(const std::string &directory, const std::string &server, const std::string &map, int64_t start_ms,
                    int64_t end_ms, std::string *file, int64_t *opened_ms);

// "20240925T211403.123Z_..." as Unix ms; -1 when a name does not start so.
int64_t recording_stamp_ms(const std::string &name);

}  // namespace web::history
