// The join password is for players, not for files: a SERVER record's SV_PASSWORD value is blanked
// before the record is written to a recording or exported from one.
#pragma once

#include <string>
#include <string_view>

namespace recording {

// The record's text with every SV_PASSWORD line's value emptied, as the plug-in sends it when it
// hides the password; any other text comes back as it is.
std::string without_join_password(std::string_view record);

}  // namespace recording
