// The open viewers, held weakly. Every broadcast goes over a snapshot, so a viewer closed or
// removed by a push (a slow page cut off) never changes the collection being iterated.
#pragma once

#include <map>
#include <memory>
#include <vector>

namespace web {

class Viewer;

class ViewerHub {
public:
    void add(const std::shared_ptr<Viewer> &viewer) { viewers_[viewer.get()] = viewer; }
    void remove(const Viewer *viewer) { viewers_.erase(viewer); }
    bool empty() const { return viewers_.empty(); }
    size_t size() const { return viewers_.size(); }
    // The viewers still alive, held for the length of a broadcast.
    std::vector<std::shared_ptr<Viewer>> snapshot() const;
    void clear() { viewers_.clear(); }

private:
    std::map<const Viewer *, std::weak_ptr<Viewer>> viewers_;
};

}  // namespace web
