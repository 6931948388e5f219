// The engine's console variables.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sdk/cvardef.h"

namespace simhost {

class CvarRegistry {
public:
    // Registers a copy of the caller's record, as the host does for plug-ins. A variable of that
    // name that already exists keeps its value: one set before registration (like a config line)
    // takes the registering flags, one already registered is left alone.
    cvar_t *register_copy(const cvar_t &record);

    // Sets the text of a variable by name, creating it unregistered if it does not exist yet.
    cvar_t *set(const std::string &name, const std::string &text, int flags = 0);

    // Sets the text of a live record; the number follows as atof reads the text.
    void direct_set(cvar_t *var, const char *text);

    cvar_t *find(const std::string &name) const;
    bool is_registered(const std::string &name) const;
    // Names of the registered variables, in the order they were registered.
    const std::vector<std::string> &registration_order() const { return order_; }

private:
    struct Entry {
        cvar_t record{};
        std::string name;
        std::string text;
        bool registered = false;
    };
    Entry *entry(const std::string &name) const;
    static void assign(Entry &entry, const std::string &text);

    std::map<std::string, std::unique_ptr<Entry>> entries_;  // stable addresses: the game keeps pointers
    std::vector<std::string> order_;
};

}  // namespace simhost
