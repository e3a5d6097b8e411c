// Human-readable and JSON forms of the store, for m7qctl dump.
#pragma once

#include <string>

std::string SectionTypeName(int type);

// A slot's value in the unit the dump prints it in ("%", "ms", "dB", ":1", "s", "Hz"; "" for plain
// numbers and switches).
struct SlotUserValue {
    double value;
    const char* unit;
};
SlotUserValue SlotUser(int slot);
// The slots dump prints (all but the two unused ones); their names are the names get and set take.
bool SlotIsDumped(int slot);
std::string DumpNumber(double v);                 // "%.6g"; "null" when not finite
std::string DumpJsonString(const std::string& s); // quoted and escaped
std::string DumpText();
std::string DumpJson();
