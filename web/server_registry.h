// The served servers: each name once, in the order they were added (the list's order), each with
// its source; a change of the set is signalled once per change.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "web/source.h"

namespace web {

class ServerRegistry {
public:
    using Changed = std::function<void()>;

    explicit ServerRegistry(Changed changed) : changed_(std::move(changed)) {}

    bool has(const std::string &name) const { return sources_.count(name) != 0; }
    // Starts the source and serves it under the name; false (and nothing started) when it is taken.
    bool add(const std::string &name, std::shared_ptr<Source> source);
    // Stops the source; false when there is none of that name.
    bool remove(const std::string &name);
    // Stops every source, without a signal.
    void clear();

    Source *find(const std::string &name) const;
    // Every source, in the list's order.
    std::vector<const Source *> in_order() const;
    // Those of live servers (no replays): what the metrics describe.
    std::vector<const Source *> live() const;

private:
    std::map<std::string, std::shared_ptr<Source>> sources_;
    std::vector<std::string> order_;
    Changed changed_;
};

}  // namespace web
