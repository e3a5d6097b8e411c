// Measured responses as room-measurement programs and response databases publish them, and target
// (house) curves in the same forms:
//   * a measurement program's text export: "*" comment lines, then frequency, SPL and phase columns;
//   * .frd: frequency, dB and an optional phase, "*" or "#" comments;
//   * CSV with a header ("frequency,raw,..."): the frequency column and the "raw" (or "spl", "db",
//     "magnitude") column, else the column after the frequency.
// Space, tab or comma separated; CRLF and a UTF-8 byte-order mark are fine; frequencies increase.
#pragma once

#include "dsp/MeasuredResponse.h"
#include "files/FilterText.h"

#include <filesystem>
#include <string>
#include <string_view>

struct MeasurementResult {
    bool bOk = false;
    FilterTextNote error;  // when !bOk: names the line (0: the file as a whole)
    Response response;     // when bOk: two or more points
    std::string strColumn; // the level column a header named ("raw"); empty without a header
};

// Reads a measured response. A garbled line, a frequency that does not increase, a value that is
// not a finite number, a binary file, or fewer than two points is an error naming its line.
MeasurementResult ParseMeasurement(std::string_view text);

// Measurement exports with a point every few hundredths of a hertz reach a few megabytes.
constexpr size_t kMeasurementFileMaxBytes = 16 << 20;

// Reads and parses a file; a file that cannot be read is an error on line 0. `szWhat` ("measurement",
// "target curve") starts the messages about the file as a whole.
MeasurementResult ReadMeasurementFile(const std::filesystem::path& path, const char* szWhat);
