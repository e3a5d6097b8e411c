// The setting slots' rows: what each slot sends, how it is decoded, and the setters pages call.
#pragma once

#include <array>
#include <cstdint>

enum class SlotEnc : uint8_t {
    None,       // no processor parameter
    Pct,        // value x 100, float slot / 100
    PctPlus,    // as Pct, sent with +0.0005
    Gate,       // value x 10000
    Int,        // small integer in the last byte
    NotF,       // switch sent as 0.0 when on
    Ms,         // float milliseconds, sent as samples after a minimum clamp
    Raw,        // float sent unchanged
    FloatPct,   // float of an integral value x 100
    IntPlus5,   // signed small integer sent + 5
    IntMs,      // integer milliseconds, sent as samples
    Hz,         // pitch-shift frequency
    DelayWhole, // whole-channel delay flag
    Phase,      // polarity flag
    MicBoost,   // boost switch, sent inverted
    Comp,       // one of the four compressor values, sent as the whole block
};

struct SlotRow {
    uint8_t nBlock = 0;
    std::array<uint8_t, 2> nParam{}; // rows that send one value to two parameters list both
    uint8_t nParams = 0;
    uint8_t nCount = 1;
    SlotEnc enc = SlotEnc::None;
    float fMinMs = 0; // Ms rows: the value is clamped to this when sent
};

const SlotRow& GetSlotRow(int slot);

// Edits from the pages: store first, then send the slot's row. Per-channel slots are base + c.
void SetSlot(int slot, int32_t value);
// The same for slots holding a float (Ms, Raw, FloatPct and the compressor values).
void SetSlotFloat(int slot, float value);
// True when values a and b of `slot` send the same word: the processor cannot tell them apart (a
// delay between two sample steps, a value under its minimum). Slots sent by an operation of their
// own compare as values.
bool SlotWordsEqual(int slot, int32_t a, int32_t b);
// Sends a slot's row from the store (write-all); minimum clamps are written back into the slot.
void SendSlot(int slot);

// Pitch shift of set A (0) or B (1): 1 Hz means off.
void SetMicShift(int set, int32_t hz);
// Routes microphone input `mic` (0..3) to set A or to set B.
void SetMicRoute(int mic, bool toSetA);
// Echo time of set A (0) or B (1), held at 2 ms at least; a time of 2 to 6 ms also sets the set's
// reverb predelay to ten times as much.
void SetEchoTime(int set, float ms);

// One slot edited as the window edits it, with the writes tied to it: a microphone's route slot
// (100 feeds the slot's set, 0 the other) sets the other set's slot too, an echo time its reverb
// predelay, a shift frequency its switch, a delay mode its split bands. Tools call this.
void EditSlot(int slot, int32_t value);
// The slot whose edit sets `slot` along (the shift switch follows its frequency, the second boost
// switch the first), or -1 for a slot edited on its own.
int LeaderSlot(int slot);

// Applies a parameter report (bytes 3.. of a CMD_GET_PARAM report) to its slot.
void DecodeParamReport(const uint8_t* report);

// Music un-mute fade: 0.0, 0.1, ... 0.8 with 30 ms between steps, then 1.0.
constexpr int kMusicFadeSteps = 9;
constexpr int kMusicFadeStepMs = 30;
