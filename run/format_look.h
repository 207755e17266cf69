// A look at the start of a log before it is read: which of the two formats
// finds anything of its own there. The run checks the chosen format of its log
// so; a reference log's format is found so.
#pragma once

#include <cstdio>

namespace tervo {

struct FormatFinds {
    bool nmea = false;
    bool binr = false;
    bool looked = false;  // false for an input that cannot be read twice (a pipe)
};

// Reads the start of `input` and rewinds it.
FormatFinds LookAtFormat(std::FILE* input);

}  // namespace tervo
