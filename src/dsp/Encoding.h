// Conversions between user units and the values the processor's DSP takes, both directions.
#pragma once

#include "dsp/FilterResponse.h"

#include <array>
#include <cstdint>

uint32_t FloatBits(float f);
float BitsFloat(uint32_t u);

float EncodeLinearGain(double db);
float EncodeInverseGain(double db);

float EncodeFraction100(int v);
int DecodeFraction100(float x);
// The microphone, effect and music volumes: v / 100 in single precision plus 0.0005, unlike the
// other percentages, which divide in double.
float EncodeVolumePlus(int v);
float EncodeFraction10000(int v);
int DecodeFraction10000(float x);

int32_t EncodeSamples(double ms);
float DecodeSamples(int32_t n);

float EncodeOmega(double hz);
int DecodeOmega(float x);

float EncodeRatio(float ratio);
float DecodeRatio(float x);

float EncodeTimeConstant(float ms);
float DecodeTimeConstant(float x);

// Flag that is 1 when a block is off: 1.0 when the flag is 0, 0.0 otherwise.
float EncodeSwitch(int flag);
int DecodeSwitch(float x);

// Polarity: -1.0 when set, +1.0 when clear.
float EncodeSign(int flag);
int DecodeSign(float x);

// -a1, -a2, b0, b1, b2 in single precision.
std::array<float, 5> EncodeBiquadBlock(const BiquadCoeffs& c);

constexpr int kBandRecordSize = 7;
using BandRecordBytes = std::array<uint8_t, kBandRecordSize>;

struct BandValues {
    float fGain; // dB
    float fFreq; // Hz
    float fQ;
    int nType;
};
// The record's Q code, the one Q encoder of every band write: Q × 1000 to the nearest whole number
// (held to 0..65535), so that a Q of three decimals, typed, imported or read back from a record,
// lands on its own code. Truncating the single-precision product would store 0.251 as 250.
uint16_t EncodeBandQ(double q);
BandRecordBytes EncodeBandRecord(float gainDb, float freqHz, float q, int type);
BandValues DecodeBandRecord(const uint8_t* record);
// The Q a record's Q code stands for, as DecodeBandRecord reads it and a three-decimal Q is typed or
// imported: EncodeBandQ gives the code back.
float BandRecordQ(int code);

// Seven 32-bit wire words: threshold, 0, ratio, 20.0, 0.05, attack, release.
std::array<uint32_t, 7> EncodeCompressorBlock(float thresholdDb, float ratio, float attackMs,
                                              float releaseMs);

enum class GainVariant { SurroundLevel, MicBoost };
// g, c, k1, k2, g, c for a gain of x dB.
std::array<float, 6> EncodeGainBlock(float x, GainVariant variant);
