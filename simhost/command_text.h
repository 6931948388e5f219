// Console command text as the engine's command buffer splits it: commands end at a line feed or
// a semicolon outside quotes; words are separated by blanks, and quotes hold a word together.
#pragma once

#include <string>
#include <vector>

namespace simhost {

// One command's words: blanks separate them, quotes hold one together (an unbalanced quote runs
// to the end).
std::vector<std::string> split_words(const std::string &command);

// Each command as its words; commands without words are left out.
std::vector<std::vector<std::string>> split_commands(const std::string &text);

}  // namespace simhost
