// What the gateway knows of one watched server: its stream folded into the latest state (by the
// admin client's fold), what that fold leaves out and the page needs, and how the link goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stream/records.h"
#include "stream/view_state.h"
#include "web/config.h"

namespace web {

class ServerState {
public:
    ServerState(const ServerAddress &address, size_t chat_lines);

    // Bytes off the current connection; the number of whole records they completed.
    size_t add(const char *data, size_t size);
    // Bytes held that do not yet form a whole record.
    size_t pending() const { return stream_.pending(); }
    // A new connection: a record cut off by the last one's end is dropped, the state is kept.
    void new_connection();

    const ServerAddress &address() const { return address_; }
    const view::State &view() const { return view_; }
    // The map's world box (the SERVER record's world size; 0 until known); the radar's scale.
    double world_x() const { return world_x_; }
    double world_y() const { return world_y_; }
    // The players' user ids, in the order of view().players.
    const std::vector<int> &user_ids() const { return user_ids_; }

    bool connected = false;
    std::string problem;  // why it is not connected, for the page
    size_t records = 0;
    size_t reconnects = 0;   // connections made after the first
    size_t overflows = 0;    // connections dropped for sending too much without a record end
    size_t malformed() const { return malformed_before_ + stream_.malformed(); }

    // Served from a recording: where the replay stands.
    struct Replay {
        bool active = false;
        uint32_t position_ms = 0;
        uint32_t length_ms = 0;
        bool playing = false;
        double speed = 1;
        int64_t start_ms = 0;  // the recording's start, Unix time in milliseconds
    } replay;

private:
    void fold_extras(const records::Record &record);

    ServerAddress address_;
    records::RecordStream stream_;
    view::State view_;
    double world_x_ = 0, world_y_ = 0;
    std::vector<int> user_ids_;
    size_t malformed_before_ = 0;  // counted on earlier connections
};

}  // namespace web
