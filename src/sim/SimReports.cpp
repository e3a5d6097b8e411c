// Report builders shared by the simulated processor's command and Z-Wave handling.
#include "sim/SimInternal.h"

#include <algorithm>
#include <cstring>

namespace sim {

Report NewReport(uint8_t code) {
    Report r{};
    r[0] = kReportId;
    r[1] = code;
    return r;
}

Report StringReport(uint8_t code, const char* text) {
    Report r = NewReport(code);
    const size_t n = std::min(std::strlen(text), kReportSize - 3); // keeps a terminator
    std::memcpy(&r[2], text, n);
    return r;
}

Report ByteReport(uint8_t code, uint8_t value) {
    Report r = NewReport(code);
    r[2] = value;
    return r;
}

// Commands with nothing to return are confirmed by sending them back; the console ignores these codes.
Report Echo(const Report& in) {
    Report r = in;
    r[0] = kReportId;
    return r;
}

} // namespace sim
