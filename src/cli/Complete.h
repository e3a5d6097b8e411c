// m7qctl complete WHAT: the words the shell completion offers, from the tables m7qctl itself uses,
// one a line. Not in the usage text: it is for the completion script.
#pragma once

#include <functional>
#include <string>
#include <vector>

// What main's tables know.
struct CompletionWords {
    std::vector<std::string> commands; // the commands the usage lists
    // "--name" or "--name ARG" a line: the common options, with a command and verb also its own.
    std::function<std::vector<std::string>(const std::vector<std::string>& where)> options;
    std::function<std::vector<std::string>(const std::string& command)> verbs; // "mode": load, store, ...
};

// args[0] is "complete"; args[1] "commands", "options" [COMMAND VERB] (each with its placeholder
// when it takes a value: "--trace FILE"), "sim-faults" (each item as it begins:
// "latency=", "silent"), "settings" (every name get and set take), "eqs" (the equaliser names) or
// "verbs" and a command (the words after it: mode load|store|factory, eq show|export|import).
int CmdComplete(const std::vector<std::string>& args, const CompletionWords& words);
