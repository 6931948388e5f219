#include "simhost/cvar_registry.h"

#include <cstdlib>

namespace simhost {

CvarRegistry::Entry *CvarRegistry::entry(const std::string &name) const {
    const auto found = entries_.find(name);
    return found == entries_.end() ? nullptr : found->second.get();
}

void CvarRegistry::assign(Entry &entry, const std::string &text) {
    entry.text = text;
    entry.record.string = entry.text.c_str();
    entry.record.value = static_cast<float>(std::atof(entry.text.c_str()));
}

cvar_t *CvarRegistry::set(const std::string &name, const std::string &text, int flags) {
    Entry *existing = entry(name);
    if (!existing) {
        auto created = std::make_unique<Entry>();
        created->name = name;
        created->record.name = created->name.c_str();
        created->record.flags = flags;
        existing = created.get();
        entries_[name] = std::move(created);
    }
    assign(*existing, text);
    return &existing->record;
}

cvar_t *CvarRegistry::register_copy(const cvar_t &record) {
    if (!record.name)
        return nullptr;
    Entry *existing = entry(record.name);
    if (existing && existing->registered)
        return &existing->record;
    if (!existing)
        set(record.name, record.string ? record.string : "", record.flags);
    existing = entry(record.name);
    existing->record.flags = record.flags;
    existing->registered = true;
    order_.push_back(record.name);
    return &existing->record;
}

void CvarRegistry::direct_set(cvar_t *var, const char *text) {
    if (!var || !var->name)
        return;
    Entry *target = entry(var->name);
    if (target && &target->record == var)
        assign(*target, text ? text : "");
}

cvar_t *CvarRegistry::find(const std::string &name) const {
    Entry *found = entry(name);
    return found ? &found->record : nullptr;
}

bool CvarRegistry::is_registered(const std::string &name) const {
    Entry *found = entry(name);
    return found && found->registered;
}

}  // namespace simhost
