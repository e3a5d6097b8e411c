// The compressors: the eight output compressors and the music limiter share their four values, the
// ranges of the sliders that edit them, the slider-to-value mapping, the value texts and store-and-send.
#pragma once

#include <array>
#include <string>

// Which of the four values.
enum CompSlider : int { COMP_THRESHOLD, COMP_RATIO, COMP_ATTACK, COMP_RELEASE, COMP_VALUES };

// The compressor of output channel 0..7, or the music limiter.
constexpr int kMusicLimiter = 8;

// The four values, in the units of their slots.
struct CompValues {
    float fThreshold = 0; // dB
    float fRatio = 1;     // n:1
    float fAttack = 1;    // ms
    float fRelease = 1;   // ms
    float Get(int which) const;
    void Set(int which, float v);
};

// A slider's range in positions; the value is pos / nDiv (the ratio moves in tenths).
struct CompRange {
    int nMin, nMax, nDiv;
    const char* szFormat; // the value text: "%.0fdB", "%.1f:1", "%.0fms"
};
extern const std::array<CompRange, COMP_VALUES> kCompRanges;

// The setting slot of value `which` of compressor `comp`; -1 for none.
int CompSlot(int comp, int which);
// The value of slider `which` at `pos`, as the pages store it (pos / 10.0 for the ratio).
float CompValueOfPos(int which, int pos);
// A stored value as the slider position: rounded and held to the range, NaN the lower end.
int CompPosOfValue(int which, float value);
// The value text of `which`.
std::string CompText(int which, float value);

CompValues ReadCompValues(int comp);
// The values after slider `which` moved to `pos`. With `wholeMs` (output page, features dialog) the
// times become whole milliseconds, rounded, since a time read back may sit just below one; the
// compressor page keeps them as stored. A time that is no number becomes 1 ms either way.
CompValues CompWithSlider(CompValues values, int which, int pos, bool wholeMs);
// Stores the four values in the compressor's slots and sends its block.
void StoreAndSendComp(int comp, const CompValues& values);
