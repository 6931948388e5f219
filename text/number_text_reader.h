// The plug-in's one way of turning text (a client's request, a log line, a console variable) into
// a number. The C library's readers differ between platforms and locales: msvcrt reads "inf" and
// "nan" as 0 and knows no hexadecimal floats, and any library reads "1,5" as 1.5 in some locales.
// These read what glibc's strtod and strtoll read in the "C" locale, with the same result
// everywhere: correctly rounded, no locale, no errno.
#pragma once

// A decimal or hexadecimal floating number at the start of text, after white space: an optional
// sign, then digits with at most one point and an optional exponent ("1.5e3", "0x1.8p1"), or "inf",
// "infinity", "nan" or "nan(chars)" in any case. Correctly rounded to the nearest double (ties to
// even); out of range gives an infinity or a zero of the number's sign. No number gives 0.0.
// end, if given, receives where the number ends (text itself when there is none).
double read_decimal(const char *text, const char **end = nullptr);

// A whole decimal number at the start of text, after white space: an optional sign, then digits.
// Beyond the range of long long it gives the nearest limit; no number gives 0.
long long read_whole(const char *text, const char **end = nullptr);
