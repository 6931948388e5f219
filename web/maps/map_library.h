// The map pictures of the served servers, made on a worker thread (reading and drawing a map takes
// a while) and handed back to the event loop; kept per game folder and map, and made again when the
// map file's time changes.
#pragma once

#include <boost/asio/io_context.hpp>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "web/maps/map_picture.h"

namespace web::maps {

class MapLibrary {
public:
    // Maps waiting to be read beyond this are asked for again later.
    static constexpr size_t kQueueLength = 16;
    // How often a map file's time is looked at again while its picture is in use.
    static constexpr std::chrono::seconds kRecheck{10};

    // `ready` runs on the event loop each time a picture was made or changed.
    MapLibrary(boost::asio::io_context &io, std::function<void()> ready);
    ~MapLibrary();
    MapLibrary(const MapLibrary &) = delete;
    MapLibrary &operator=(const MapLibrary &) = delete;

    // The picture, or null while it is being made (or there is no game folder); a picture without
    // `found` when there is no usable map file. Called on the event loop only.
    std::shared_ptr<const MapPicture> find(const std::string &game_dir, const std::string &map);

private:
    using Key = std::pair<std::string, std::string>;  // game folder, map
    struct Entry {
        std::shared_ptr<const MapPicture> picture;
        std::chrono::steady_clock::time_point checked;
        bool asked = false;
    };

    void ask(const Key &key, std::shared_ptr<const MapPicture> known);
    void work();
    void made(const Key &key, std::shared_ptr<const MapPicture> picture, bool changed);

    boost::asio::io_context &io_;
    std::function<void()> ready_;
    std::map<Key, Entry> entries_;  // the event loop's

    std::mutex mutex_;  // guards what follows
    std::condition_variable wake_;
    std::deque<std::pair<Key, std::shared_ptr<const MapPicture>>> queue_;
    bool stopping_ = false;
    std::thread worker_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // the loop's view: false once destroyed
};

}  // namespace web::maps
