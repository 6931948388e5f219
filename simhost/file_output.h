// Writing a generated file whole: into a file of this process's own beside it, then renamed over
// the name, so that a reader (the gateway, another simulated server writing the same folder) never
// sees half of one.
#pragma once

#include <string>

namespace simhost {

// Creates the file's folders; false when any step fails (nothing is left under the name then).
bool write_whole_file(const std::string &path, const std::string &bytes);

}  // namespace simhost
