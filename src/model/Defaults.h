// Start-up values of the store and the factory resets of one equaliser or of the sound field.
#pragma once

#include "model/ParamStore.h"

#include <array>

// The start-up image: 178 band records covering addresses 0..1245.
constexpr int kDefaultImageRecords = 178;
std::array<uint8_t, kImageSize> DefaultImage();

// Sets every start-up value and writes the default image; sends nothing.
void ResetStoreAtStartup();

// Rewrites the bands of EQ number 0..14 with the reset table and sends them.
void ResetEq(int eqNumber);

// Surround levels to 0 dB on every channel, then the start-up sound field, sent.
void ResetSoundField();
