#include "simhost/library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace simhost {

#if defined(_WIN32)

bool Library::open(const std::string &path, std::string *error) {
    close();
    handle_ = reinterpret_cast<void *>(LoadLibraryA(path.c_str()));
    if (!handle_ && error)
        *error = "LoadLibrary failed for " + path + " (error " + std::to_string(GetLastError()) + ")";
    return handle_ != nullptr;
}

void *Library::symbol(const char *name) const {
    return handle_ ? reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

void Library::close() {
    if (handle_)
        FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

#else

bool Library::open(const std::string &path, std::string *error) {
    close();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_ && error)
        *error = dlerror();
    return handle_ != nullptr;
}

void *Library::symbol(const char *name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

void Library::close() {
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

#endif

}  // namespace simhost
