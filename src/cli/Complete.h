// m7qctl complete WHAT: the words the shell completion offers, from the tables m7qctl itself uses,
// one a line. Not in the usage text: it is for the completion script.
#pragma once

#include <string>
#include <vector>

// args[0] is "complete"; args[1] "settings" (every name dump prints) or "eqs" (the equaliser names).
int CmdComplete(const std::vector<std::string>& args);
