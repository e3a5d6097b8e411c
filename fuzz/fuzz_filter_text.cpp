// Feeds arbitrary bytes to the filter-text reader for a 7- and a 10-band equaliser. Nothing may
// crash; an accepted text gives exactly as many bands as asked, each within the band limits, and
// the writer's text for them reads back to the same types.
#include "files/FilterText.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void CheckBands(const FilterTextResult& r, int nBands) {
    if (!r.bOk) {
        Check(r.bands.empty() && !r.error.strText.empty());
        return;
    }
    Check(static_cast<int>(r.bands.size()) == nBands && r.nFilters > 0);
    for (const EqBandSetting& b : r.bands) {
        Check(b.nType >= EQ_OFF && b.nType <= EQ_HS);
        Check(b.fGain >= kBandGainMin && b.fGain <= kBandGainMax);
        Check(b.fFreq == 0 || (b.fFreq >= kBandFreqMin && b.fFreq <= kBandFreqMax));
        Check(b.fQ == 0 ||
              (std::isfinite(b.fQ) && b.fQ >= kBandQMin * 0.999f && b.fQ <= kBandQMaxPeq * 1.001f));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int nBands : {7, 10}) {
        const FilterTextResult r = ParseFilterText(text, nBands);
        CheckBands(r, nBands);
        if (!r.bOk)
            continue;
        // Bands that keep the band's frequency and Q have none to write; give them some.
        std::vector<EqBandSetting> bands = r.bands;
        for (EqBandSetting& b : bands) {
            b.fFreq = b.fFreq > 0 ? b.fFreq : 1000;
            b.fQ = b.fQ > 0 ? b.fQ : 1;
        }
        const FilterTextResult back = ParseFilterText(WriteFilterText(bands, "fuzz"), nBands);
        Check(back.bOk);
        for (int i = 0; i < nBands; ++i)
            Check(back.bands[i].nType == bands[i].nType);
    }
    return 0;
}
