// Human-readable and JSON forms of the store, for m7qctl dump.
#pragma once

#include <string>

std::string SectionTypeName(int type);
std::string DumpText();
std::string DumpJson();
