// The two number forms of a record, written without the formatted-output machinery but byte for
// byte as "%i" and "%f" of the standard C library write them (a report is mostly numbers, and is
// rebuilt on every frame of a send cycle).
#pragma once

#include <cstddef>

enum { NUMBER_TEXT_SIZE = 64 };  // room for any "%i" and for "%f" of any float

// "%i" of value; the text's length. out holds at least NUMBER_TEXT_SIZE characters.
int whole_number_text(char *out, long long value);

// "%f" of value widened to double: the digits, a point and exactly six decimals, correctly
// rounded (ties to even), "-" for any negative value; the text's length. out holds at least
// NUMBER_TEXT_SIZE characters; values of 4.5e9 and more, and those not finite, go to snprintf.
int decimal_text(char *out, float value);
