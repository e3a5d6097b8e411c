// Builders for every command the console sends, and the senders that hand them to the link.
#pragma once

#include "link/Report.h"

#include <cstdint>
#include <initializer_list>
#include <span>

// Pure builders: the report a command puts on the wire.
Report BuildCommand(uint8_t code, std::initializer_list<int> args);
Report BuildParam(int block, int param, uint32_t value, int count);
Report BuildParamValues(int block, int param, std::span<const uint32_t> values);
Report BuildMemoryWrite(int address, int length, const uint8_t* data);
Report BuildZWaveFrame(const uint8_t* data, int n);
Report BuildPlugWrite(int address, int length, const uint8_t* data);

// Senders; each returns what the link wrote (61, or 0 while the link is down).
// Arguments after the code fill bytes 2.. until the first -1; at most 59 are taken.
int SendCommand(uint8_t code, std::initializer_list<int> args = {});
int SendParam(int block, int param, uint32_t value, int count = 1);
int SendParamFloat(int block, int param, float value, int count = 1);
int SendParamValues(int block, int param, std::span<const uint32_t> values);
int SendParamFloats(int block, int param, std::span<const float> values);
int WriteDeviceMemory(int address, int length, const uint8_t* data);
int SendZWaveFrame(const uint8_t* data, int n);
int WritePlugMemory(int address, int length, const uint8_t* data);
int ReadPlugMemory(int address, int length);
