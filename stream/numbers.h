// The report's numbers, read leniently (the state fold) and written for a narrow column (the views).
#pragma once

#include <string>

namespace view {

// The number a field holds, or `fallback` when it is empty, not a number, or not finite.
double number_or(const std::string &text, double fallback);
// Whole seconds as "m:ss" or "h:mm:ss"; "-" when negative (no time limit) or absurd.
std::string duration(double seconds);
// Rounded to a whole number (kept within a billion either way).
std::string whole(double number);
// A fraction as a whole percentage: 0.5 -> "50".
std::string percent(double fraction);
// A decimal to two places at most, without padding: "3.000000" -> "3", "-3153.919922" ->
// "-3153.92"; other text as is.
std::string short_number(const std::string &text);

}  // namespace view
