// m7qctl eq fit: measurement files to a tuned equaliser, on the processor or a mode file.
#pragma once

#include "cli/Help.h"
#include "files/EqFit.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

struct EqFitJob {
    std::vector<std::string> measurementPaths;
    std::vector<Response> measurements; // read before anything is opened
    std::string strTargetPath;
    std::optional<Response> target;
    EqFitOptions options;
    bool bDryRun = false;
    std::string strExport; // filter text
    std::string strPlot;   // SVG
    // Once FitOnStore ran: what the store told of the equaliser, and the fit; `outcome.bands` is what
    // the band writer gets.
    EqFitChannel channel;
    EqFitOutcome outcome;
};

// eq fit's own options, for its help, "did you mean" and the completion.
std::span<const OptionRow> EqFitOptionRows();

// args: "eq", "fit", EQ, MEASUREMENT..., options. True for the command line of eq fit, so that the
// option reader hands its options through.
bool IsEqFitCommand(const std::vector<std::string>& args);

// Checks the command line and reads the measurement and target files, all before any device or
// mode file is touched. Prints what is wrong and returns 2 (usage) or 3 (file); 0 when it may run.
int PrepareEqFit(const std::vector<std::string>& args, bool bJson, EqFitJob& job, int& eq);

// Fits EQ `eq` as the store holds it now and writes the export and the plot, before anything is
// sent or saved. Prints what is wrong and returns 3; 0 when the bands are ready to write.
int FitOnStore(int eq, EqFitJob& job);

// The bands, the errors before and after, and what became of them ("wrote 10 bands to out1", or the
// dry run's "nothing sent"), as text or JSON.
void PrintEqFit(int eq, const EqFitJob& job, bool bJson);
