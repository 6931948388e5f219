#include "web/server_registry.h"

#include <algorithm>

namespace web {

bool ServerRegistry::add(const std::string &name, std::shared_ptr<Source> source) {
    if (has(name) || !source)
        return false;
    sources_.emplace(name, source);
    order_.push_back(name);
    source->start();
    if (changed_)
        changed_();
    return true;
}

bool ServerRegistry::remove(const std::string &name) {
    const auto found = sources_.find(name);
    if (found == sources_.end())
        return false;
    const std::shared_ptr<Source> source = found->second;
    sources_.erase(found);
    order_.erase(std::remove(order_.begin(), order_.end(), name), order_.end());
    source->stop();
    if (changed_)
        changed_();
    return true;
}

void ServerRegistry::clear() {
    for (auto &entry : sources_)
        entry.second->stop();
    sources_.clear();
    order_.clear();
}

Source *ServerRegistry::find(const std::string &name) const {
    const auto found = sources_.find(name);
    return found == sources_.end() ? nullptr : found->second.get();
}

std::vector<const Source *> ServerRegistry::in_order() const {
    std::vector<const Source *> list;
    list.reserve(order_.size());
    for (const std::string &name : order_)
        if (const Source *source = find(name))
            list.push_back(source);
    return list;
}

std::vector<const Source *> ServerRegistry::live() const {
    std::vector<const Source *> list = in_order();
    list.erase(std::remove_if(list.begin(), list.end(), [](const Source *source) { return source->replay(); }),
               list.end());
    return list;
}

}  // namespace web
