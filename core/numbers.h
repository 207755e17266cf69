// Locale-free readers of the number a text starts with, for the NMEA field
// rules and the settings fields alike: blanks and a sign first, then what the
// C library would read in the "C" locale, without "inf", "nan" or hex.
#pragma once

#include <cstdint>
#include <string_view>

namespace tervo {

// Leading blanks, a sign and digits; 0 when there is no digit. Saturates at the
// limits of int32_t.
int32_t LeadingInteger(std::string_view text);

// Where a decimal number may begin after blanks and sign.
enum class PointFirst {
    Refused,  // a digit must come first: ".5" reads as 0
    Allowed,  // ".5" reads as 0.5
};

// Leading blanks, a sign, digits with an optional fraction, and an exponent
// when digits follow its letter; 0 when there is no digit. A value beyond the
// range of double reads as infinity, one below it as 0.
double LeadingDecimal(std::string_view text, PointFirst pointFirst);

}  // namespace tervo
