#include "web/server_state.h"

#include "stream/numbers.h"

namespace web {

ServerState::ServerState(const ServerAddress &address, size_t chat_lines) : address_(address) {
    view_.chat_limit = chat_lines;
}

size_t ServerState::add(const char *data, size_t size) {
    stream_.feed(data, size);
    size_t folded = 0;
    records::Record record;
    while (stream_.next(&record)) {
        view::fold(view_, record);
        fold_extras(record);
        ++folded;
    }
    records += folded;
    return folded;
}

void ServerState::new_connection() {
    malformed_before_ += stream_.malformed();
    stream_ = records::RecordStream();
}

void ServerState::fold_extras(const records::Record &record) {
    if (record.type == "SERVER") {
        world_x_ = view::number_or(record.value("WORLDSIZE_X"), 0);
        world_y_ = view::number_or(record.value("WORLDSIZE_Y"), 0);
    } else if (record.type == "PLAYER") {
        const std::vector<std::string> *ids = record.fields("USER_ID");
        user_ids_.assign(record.entities(), 0);
        for (size_t entity = 0; ids && entity < ids->size() && entity < user_ids_.size(); ++entity) {
            const double id = view::number_or((*ids)[entity], 0);
            user_ids_[entity] = id >= 0 && id <= 2e9 ? static_cast<int>(id) : 0;
        }
    }
}

}  // namespace web
