#include "simhost/command_args.h"

namespace simhost {

void CommandArgs::set(const std::vector<std::string> &args) {
    args_ = args;
    joined_.clear();
    for (size_t i = 1; i < args_.size(); ++i)
        joined_ += (i > 1 ? " " : "") + args_[i];
}

const char *CommandArgs::argv(int index) const {
    return index >= 0 && index < argc() ? args_[static_cast<size_t>(index)].c_str() : "";
}

}  // namespace simhost
