// The value rules of the window's read-only fields, shared by the window and the
// console front end: the width and scale spins and the masked date field.
#pragma once

#include <string>

namespace tervo {

// The width spin (Edit3, Edit7): the text read as a whole number (leading blanks,
// sign, digits; 0 when no digit leads), one up or down, kept within "1".."10".
std::string StepWidth(const std::string& text, bool up);

// The scale spin (Edit4): the text read as a decimal number with a full stop
// (0 when none leads), 0.1 up or down; below 0.1 gives "0.1", above 1.0 gives
// "1.0", anything else six decimals ("0.600000") whatever the C locale says.
std::string StepScale(const std::string& text, bool up);

// The text of the date field with the mask "####-##-##": a digit place takes the
// next character when it is a digit and shows "_" otherwise (a character that is
// neither digit nor hyphen is used up by the place); a hyphen place shows "-" and
// uses up a hyphen that stands there. Characters beyond the mask are dropped.
std::string FitDateToMask(const std::string& text);

}  // namespace tervo
