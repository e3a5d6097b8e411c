// The auto EQ as a picture: measured, target and predicted response over the fit range and an octave
// either side, and below them the EQ curve with its bands; an SVG file to look at, not to read back.
#pragma once

#include "files/EqFit.h"
#include "files/ModeFile.h"

#include <filesystem>
#include <string>

std::string AutoEqSvg(const EqFitOutcome& outcome, const std::string& title);

// Writes it with the atomic save.
FileResult WriteAutoEqSvg(const std::filesystem::path& path, const EqFitOutcome& outcome,
                          const std::string& title);
