// Feeds arbitrary bytes to the measured-response reader. Nothing may crash; an accepted text gives two
// or more points on strictly increasing positive frequencies with finite levels, and smoothing and
// interpolating it (what the auto EQ does first) give finite values.
#include "files/Measurement.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const MeasurementResult r = ParseMeasurement(text);
    if (!r.bOk) {
        Check(r.response.hz.empty() && !r.error.strText.empty() && r.error.nLine >= 0);
        return 0;
    }
    const Response& m = r.response;
    Check(m.hz.size() >= 2 && m.hz.size() == m.db.size());
    for (size_t i = 0; i < m.hz.size(); ++i) {
        Check(std::isfinite(m.hz[i]) && m.hz[i] > 0 && std::isfinite(m.db[i]));
        Check(i == 0 || m.hz[i] > m.hz[i - 1]);
    }
    const std::vector<double> at = LogGrid(10, 24000, 6);
    for (double octaves : {0.0, 1.0 / 6})
        for (double v : SmoothAt(m, at, octaves))
            Check(std::isfinite(v));
    return 0;
}
