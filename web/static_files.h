// The dashboard's page (web/static), built into the program.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace web {

struct StaticFile {
    const char *path;  // as requested: "/app.js"
    const char *content_type;
    const char *data;
    size_t size;
};

const std::vector<StaticFile> &static_files();

// The file a request path names ("/" is the page), or null: only these exact paths exist, so
// no path can reach anything else.
const StaticFile *find_static_file(const std::string &path);

}  // namespace web
