// Human-readable and JSON forms of the store, for m7qctl dump.
#pragma once

#include "model/Diff.h"

#include <string>

struct Setting;
// "NAME = value unit" of a schema row, as dump, get and set print it: the value in the window's unit.
std::string SettingLine(const Setting& s);
std::string DumpNumber(double v);                 // "%.6g"; "null" when not finite
std::string DumpJsonString(const std::string& s); // quoted and escaped
std::string DumpText();
std::string DumpJson();
