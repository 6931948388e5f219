#include "recording/redact.h"

namespace recording {

std::string without_join_password(std::string_view record) {
    static constexpr std::string_view kLine = "\nSV_PASSWORD\t";
    std::string kept(record);
    for (size_t at = kept.find(kLine); at != std::string::npos; at = kept.find(kLine, at + kLine.size())) {
        const size_t value = at + kLine.size();
        const size_t end = kept.find('\n', value);
        kept.erase(value, (end == std::string::npos ? kept.size() : end) - value);
    }
    return kept;
}

}  // namespace recording
