// A shared library opened by path, the way the host opens plug-ins.
#pragma once

#include <string>

namespace simhost {

class Library {
public:
    Library() = default;
    ~Library() { close(); }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    // Opens with every symbol resolved at once, as hosts do; false with a reason on failure.
    bool open(const std::string &path, std::string *error);
    void *symbol(const char *name) const;
    void close();
    bool is_open() const { return handle_ != nullptr; }

private:
    void *handle_ = nullptr;
};

}  // namespace simhost
