// Store operations that touch several slots, bands or blocks and send computed coefficients.
#pragma once

#include <array>
#include <cstdint>

// Writes one band (record and memory write), then sends its biquad to the band's coefficient parameter.
void WriteBandAndCoeffs(int group, int band, float gainDb, float freqHz, float q, int type);
// Re-sends one band as it stands in the image: memory write and coefficients.
void ResendBand(int group, int band);
// Sends only the coefficients of a band as it stands in the image.
void SendBandCoeffs(int group, int band);

// Copies EQ `source` onto EQ `target` (EQ numbers 0..14); false for any other number.
bool CopyEq(int source, int target);

// Sound-field speaker (0..7) to output role.
extern const std::array<int, 8> kSpeakerRole;
// Sets the surround level of the first channel whose role matches the speaker's.
void SetSurroundLevel(int speaker, float db);
// Sets channel c's entry of the surround levels and sends the block and its level coefficients.
void SetChannelSurroundLevel(int c, float db);
// Sends channel c's surround level as it stands: the 32-byte block and the level coefficients.
void SendChannelSurroundLevel(int c);
float ChannelSurroundLevel(int c);
// The surround level of a speaker at (dx, dy) metres from the listener: 3 dB less per metre, from +3.
float SurroundLevelAt(float dx, float dy);

void SendCompressor(int c);
void SendMusicLimiter();

// High-frequency split of the output delay.
constexpr int kSplitCount = 26;
int SplitLowHz(int index);  // 500 + 100 i
int SplitHighHz(int index); // low + 500
int CurrentSplitIndex(int c);
void SetDelayMode(int c, int whole);
void SetSplit(int c, int index);

// Microphone boost: gain in dB (negative), stored in the 2-byte block and sent with its blocks.
void SetMicBoostGain(float db);
void SendMicBoostGain();

// The music low-frequency path's filter: a low-pass of Q 0.707 at `hz`, stored and sent.
constexpr float kLpfQ = 0.707f;
void SetLpfFrequency(int hz);
