// m7qctl doctor: why a processor cannot be used (sync/Doctor), printed; the exit status is the verdict.
#pragma once

#include "sim/SimBackend.h"

#include <string>
#include <vector>

// args[0] is "doctor". With `bSim` the simulated processor (with `faults`) is asked, without the
// device checks.
int CmdDoctor(const std::vector<std::string>& args, bool bSim, const SimFaults& faults);
