// Small builders that many tests share: NMEA sentences with their checksum and
// an allocation gate with a budget of nodes.
#pragma once

#include <string>
#include <string_view>

#include "core/point_list.h"

namespace tervo::testing {

// "$" + body + "*" + the body's exclusive-or in two upper-case hex digits,
// followed by CR LF unless `lineEnd` is false.
std::string NmeaSentence(std::string_view body, bool lineEnd = true);

// One epoch of a receiver standing still with a valid fix: GGA and RMC at
// `hhmmss` on `ddmmyy`.
std::string NmeaEpoch(const std::string& hhmmss, const std::string& ddmmyy);

// Lets the first `allowed` nodes be allocated and refuses every one after them.
class NodeBudget : public AllocationGate {
public:
    explicit NodeBudget(int allowed) : allowed_(allowed) {}
    bool AllowNode() override { return allowed_-- > 0; }

private:
    int allowed_;
};

}  // namespace tervo::testing
