// The simulated processor's faults as a comma-separated list, the form both programs take on their
// command line ("latency=200,drop=0.05,seed=7"), and its counters as one line of text.
#pragma once

#include "sim/SimBackend.h"

#include <string>
#include <string_view>
#include <vector>

// Items: latency=MS, silent, drop=P, drop-every=N, garbage-every=N, any-code (with garbage-every),
// wrong-model, model-second-try, version=N, erased, unplug-after=N, replug-after=MS (with
// unplug-after), learn-key=MS, plug-report=V, late-button=MS, silent-plug=N, plug-garbage-every=N,
// drift-after=MS, seed=N. Spaces around an item
// are ignored. False on the first bad item, with `error` naming it; `faults` is then unchanged.
bool ParseSimFaults(std::string_view list, SimFaults& faults, std::string& error);

// The faults as a list ParseSimFaults reads back to the same faults; "" when none is set.
std::string FormatSimFaults(const SimFaults& faults);

// "latency=MS, silent, drop=P, ...": every item with its placeholder, for the usage texts.
std::string SimFaultSummary();

// Every item as it begins: "latency=", "silent", ... (for the shell completion).
std::vector<std::string> SimFaultItems();

// "N reports received, N replies, N dropped, N garbage, N delivered".
std::string FormatSimCounters(const SimCounters& counters);
