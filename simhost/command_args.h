// The arguments of the client command being executed, as Cmd_Argc/Cmd_Argv/Cmd_Args report them.
#pragma once

#include <string>
#include <vector>

namespace simhost {

class CommandArgs {
public:
    // args[0] is the command name.
    void set(const std::vector<std::string> &args);
    void clear() { set({}); }

    int argc() const { return static_cast<int>(args_.size()); }
    // "" past the end.
    const char *argv(int index) const;
    // The arguments after the command name, joined by spaces.
    const char *args() const { return joined_.c_str(); }

private:
    std::vector<std::string> args_;
    std::string joined_;
};

}  // namespace simhost
