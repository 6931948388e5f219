#include "web/maps/map_library.h"

#include <boost/asio/post.hpp>

#include <cstdio>

#include "web/maps/map_files.h"

namespace web::maps {

MapLibrary::MapLibrary(boost::asio::io_context &io, std::function<void()> ready)
    : io_(io), ready_(std::move(ready)), worker_([this] { work(); }) {}

MapLibrary::~MapLibrary() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
    *alive_ = false;
}

std::shared_ptr<const MapPicture> MapLibrary::find(const std::string &game_dir, const std::string &map) {
    if (game_dir.empty() || map.empty())
        return nullptr;
    const Key key{game_dir, map};
    Entry &entry = entries_[key];
    const auto now = std::chrono::steady_clock::now();
    if (!entry.asked && (!entry.picture || now - entry.checked >= kRecheck)) {
        entry.asked = true;
        entry.checked = now;
        ask(key, entry.picture);
    }
    return entry.picture;
}

void MapLibrary::ask(const Key &key, std::shared_ptr<const MapPicture> known) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= kQueueLength) {
            entries_[key].asked = false;  // asked again at the next find
            return;
        }
        queue_.emplace_back(key, std::move(known));
    }
    wake_.notify_one();
}

void MapLibrary::work() {
    for (;;) {
        std::pair<Key, std::shared_ptr<const MapPicture>> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        const auto &[key, known] = job;
        std::string path;
        std::string unused;
        std::int64_t time = 0;
        const bool there =
            resolve_inside(key.first, "maps/" + key.second + ".bsp", &path, &unused) && file_time(path, &time);
        if (known && (known->found ? there && known->file_time == time : !there)) {
            made(key, known, false);
            continue;
        }
        std::string problems;
        auto picture = std::make_shared<const MapPicture>(make_map_picture(key.first, key.second, &problems));
        size_t start = 0;
        for (size_t end; (end = problems.find('\n', start)) != std::string::npos; start = end + 1)
            std::fprintf(stderr, "orlex_web: %s\n", problems.substr(start, end - start).c_str());
        made(key, std::move(picture), true);
    }
}

void MapLibrary::made(const Key &key, std::shared_ptr<const MapPicture> picture, bool changed) {
    boost::asio::post(io_, [this, alive = alive_, key, picture = std::move(picture), changed] {
        if (!*alive)
            return;
        Entry &entry = entries_[key];
        entry.asked = false;
        entry.picture = picture;
        if (changed && ready_)
            ready_();
    });
}

}  // namespace web::maps
