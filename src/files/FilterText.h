// Filter-settings text, as room-measurement programs write it and parametric equalisers read it:
//   Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000
// read into the bands of one equaliser, and written from them.
#pragma once

#include "files/ModeFile.h"
#include "model/EqIo.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct FilterTextNote {
    int nLine = 0; // 1-based; 0 when the note is about the text as a whole
    std::string strText;
};
// "line 12: ..." (or the text alone for line 0).
std::string FormatFilterNote(const FilterTextNote& note);

struct FilterTextResult {
    bool bOk = false;
    FilterTextNote error;                 // when !bOk
    std::vector<EqBandSetting> bands;     // when bOk: nBands entries, in band order
    std::vector<FilterTextNote> warnings; // values held to the band limits, lines read past
    int nFilters = 0;                     // filter lines read
    double fPreampDb = 0;                 // the Preamp lines' gain, added up (negative: headroom needed)
    int nPreampLine = 0;                  // the last Preamp line; 0 when there is none
};

// Reads a filter text for an equaliser of nBands bands. Filter line n sets band n: an ON filter its
// type, gain, frequency and Q, an OFF filter makes it off at the gain, frequency and Q the line gives
// (keeping the band's own where it gives none: bKeepGain, fFreq 0, fQ 0). Bands after the last filter
// come back off with gain 0, fFreq and fQ 0 and nLine 0. Types: PK/PEQ, LS/LSC/LSQ, HS/HSC/HSQ, LP/LPQ,
// HP/HPQ, and the fixed-slope shelves LS 6dB, LS 12dB, HS 6dB, HS 12dB (the Q that makes the slope).
// Q may be given as BW Oct N or BW/60 N. Q limits are compared in the record's units. "Preamp:"
// lines are added up into fPreampDb; "#" comments, blank lines and the header lines before the first
// filter are read past. Any other type, a malformed line or an ON filter past nBands is an error
// naming its line, and no bands come back.
FilterTextResult ParseFilterText(std::string_view text, int nBands);

// What an import of the text into EQ `eq` has to say: the warnings, then what a Preamp line asks for.
std::vector<FilterTextNote> ImportNotes(const FilterTextResult& result, int eq);

// One numbered line per band ("Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000"); an off band as
// "Filter 8: OFF PK Fc ... Gain ... Q ..." with its stored values, or "OFF None" when they are beyond
// the band limits;
// a band whose strSpecial is set becomes a "#" comment naming it, followed by an OFF line when later
// bands need their places kept. `title`, when given, becomes the first comment.
std::string WriteFilterText(std::span<const EqBandSetting> bands, std::string_view title);

// The largest filter file read; measurement exports are a few kilobytes.
constexpr size_t kFilterFileMaxBytes = 1 << 20;

// Reads and parses a file; a file that cannot be read is an error on line 0.
FilterTextResult ReadFilterFile(const std::filesystem::path& path, int nBands);
// Writes the text with the atomic save; the previous file survives any failure.
FileResult WriteFilterFile(const std::filesystem::path& path, std::string_view text);
