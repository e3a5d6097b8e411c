// m7qctl's command and option tables' shape, and the texts made from them: the usage text (help,
// --help), a command's help (COMMAND --help, help COMMAND) and its synopsis (after a usage error).
// main.cpp holds the tables themselves.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

struct CliOptions;

struct OptionRow {
    const char* szName;
    const char* szAlias; // "" or the short form
    const char* szArg;   // "" for a switch
    const char* szHelp;
};

struct CommandRow {
    std::string strName;
    std::string strSynopsis; // after "m7qctl [OPTIONS] "; one form a line
    std::string strSummary;  // the usage text's words beside the synopsis
    std::string strHelp;     // COMMAND --help; paragraphs a line
    int (*run)(CliOptions&) = nullptr;
    std::vector<std::string> verbs; // the words that may follow the name
    bool bHidden = false;           // for the completion script, not the user
    // Options of its own after a verb ("fit": eq fit's), besides the common ones.
    std::vector<std::pair<std::string, std::span<const OptionRow>>> verbOptions = {};
};

// "--name ARG" as the texts show an option.
std::string OptionForm(const OptionRow& row);
std::string UsageText(std::span<const CommandRow> commands, std::span<const OptionRow> options);
// "usage: m7qctl [OPTIONS] FORM", one line a form.
std::string SynopsisLines(const CommandRow& row);
std::string CommandHelp(const CommandRow& row);
