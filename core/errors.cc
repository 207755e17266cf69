#include "core/errors.h"

#include <cstring>

namespace tervo {

std::string SystemReason(int error) {
    if (error == 0) {
        return "";
    }
    char buffer[256];
    // The GNU strerror_r returns its text, which need not be in the buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

}  // namespace tervo
