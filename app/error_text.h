// How both front ends show an error that ended a run or the program.
#pragma once

#include <string>

namespace tervo {

// The text of an error box or line: errors carry no final full stop of their
// own, so one is added unless the text ends in one.
inline std::string WithFullStop(const std::string& text) {
    return !text.empty() && text.back() == '.' ? text : text + ".";
}

}  // namespace tervo
