#include "stream/numbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace view {

double number_or(const std::string &text, double fallback) {
    if (text.empty())
        return fallback;
    char *end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(number) ? number : fallback;
}

std::string duration(double seconds) {
    if (!(seconds >= 0) || seconds > 1e9)
        return "-";
    const long long whole = static_cast<long long>(seconds);
    char text[32];
    if (whole < 3600)
        std::snprintf(text, sizeof(text), "%lld:%02lld", whole / 60, whole % 60);
    else
        std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

std::string whole(double number) {
    const double clamped = std::fmax(-1e9, std::fmin(1e9, number));
    return std::to_string(std::lround(clamped));
}

std::string percent(double fraction) { return whole(fraction * 100.0); }

std::string short_number(const std::string &text) {
    // Plain decimals only: exponents and hexadecimal floats keep their meaning only whole.
    const double number = number_or(text, NAN);
    if (std::isnan(number) || text.find('.') == std::string::npos || text.find_first_of("eEpPxX") != std::string::npos)
        return text;
    char shown[64];
    std::snprintf(shown, sizeof(shown), "%.2f", std::fmax(-1e15, std::fmin(1e15, number)));
    std::string trimmed = shown;
    while (trimmed.back() == '0')
        trimmed.pop_back();
    if (trimmed.back() == '.')
        trimmed.pop_back();
    return trimmed == "-0" ? "0" : trimmed;
}

}  // namespace view
