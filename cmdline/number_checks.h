// Number checks for the programs' options. Unlike CLI::Range they refuse NaN and infinities, and
// their errors say what the option takes in plain words ("--chat: 2.5 is not a whole number from
// 0 to 1000"). The help text states the bounds, so the checks add nothing to it.
#pragma once

#include <CLI/CLI.hpp>
#include <cmath>
#include <sstream>
#include <string>

namespace cmdline {

inline std::string number_text(double number) {
    std::ostringstream text;
    text.precision(16);  // the largest seed, 2^53 - 1, in full
    text << number;
    return text.str();
}

inline CLI::Validator number_check(double low, double high, bool whole, const std::string &allowed) {
    return CLI::Validator(
        [=](std::string &input) {
            double number = 0;
            if (!CLI::detail::lexical_cast(input, number) || !std::isfinite(number) || number < low || number > high ||
                (whole && number != std::floor(number)))
                return input + " is not " + allowed;
            if (whole)
                input = number_text(number);  // CLI11 would read "010" as octal, and refuse "1e3"
            return std::string();
        },
        "");
}

// A number from low to high, both included.
inline CLI::Validator between(double low, double high) {
    return number_check(low, high, false, "a number from " + number_text(low) + " to " + number_text(high));
}

// A whole number from low to high, both included, passed on as plain decimal digits: give it with
// transform(), as check() would drop the rewrite.
inline CLI::Validator whole_between(double low, double high) {
    return number_check(low, high, true, "a whole number from " + number_text(low) + " to " + number_text(high));
}

// A number of at least low.
inline CLI::Validator at_least(double low) {
    return number_check(low, HUGE_VAL, false, "a number of at least " + number_text(low));
}

// Any number but infinities and NaN.
inline CLI::Validator finite() { return number_check(-HUGE_VAL, HUGE_VAL, false, "a finite number"); }

}  // namespace cmdline
