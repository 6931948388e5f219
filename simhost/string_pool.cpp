#include "simhost/string_pool.h"

#include <cstring>

namespace simhost {

StringPool::StringPool(std::size_t capacity) : arena_(capacity, '\0') {}

string_t StringPool::alloc(const char *text) {
    const std::size_t size = std::strlen(text) + 1;
    if (size == 1 || used_ + size > arena_.size())
        return 0;
    std::memcpy(arena_.data() + used_, text, size);
    const string_t offset = static_cast<string_t>(used_);
    used_ += size;
    return offset;
}

string_t StringPool::intern(const std::string &text) {
    const auto found = interned_.find(text);
    if (found != interned_.end())
        return found->second;
    const string_t offset = alloc(text.c_str());
    if (offset != 0)
        interned_.emplace(text, offset);
    return offset;
}

}  // namespace simhost
