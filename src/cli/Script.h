// m7qctl's scripting commands: get and set of setting slots by the names dump prints, and
// eq show / export / import of filter texts, on the processor or offline on a mode file (--file).
#pragma once

#include "files/FilterText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CAnswerLog;
class CConnection;
struct ReadGaps;
struct EqFitJob;

// get, set and eq.
bool IsScriptCommand(const std::string& command);
// The words after eq: show, export, import, fit.
std::vector<std::string> EqVerbs();
// The names get and set take (those dump prints), in the schema's order: the one list the completion
// and "did you mean" read.
std::vector<std::string> SettingNames();
// "FILE goes on past the 2175 bytes of a version 8 mode file", in the messages' language.
std::string OversizedFileText(const std::string& path, int version);

struct Setting;
struct ScriptSet {
    const Setting* pSetting = nullptr;
    double fValue = 0; // in the window's unit, checked against the row's range
};

struct ScriptJob {
    enum class Kind { Get, Set, EqShow, EqExport, EqImport, EqFit };
    Kind kind = Kind::Get;
    bool bJson = false;
    std::vector<const Setting*> settings; // get
    std::vector<ScriptSet> sets;          // set, in command-line order
    int nEq = -1;                         // eq: EQ number 0..14
    std::string strPath;                  // eq export / import: the filter file
    FilterTextResult filters;             // eq import: read before anything is opened
    bool bApplyPreamp = false;            // eq import --preamp apply: lower the channel's level by the Preamp
    std::shared_ptr<EqFitJob> fit;        // eq fit (cli/AutoEqCommand.h): its files read likewise
};

// Checks the command line (args[0] is the command), resolves names, converts values and reads the
// filter file of an import, all before any device or mode file is touched. Prints what is wrong
// and returns 2 (usage) or 3 (file); 0 when the job may run.
int PrepareScript(const std::vector<std::string>& args, bool bJson, ScriptJob& job);

// True for jobs that change the store (set, eq import, eq fit but for a dry run).
bool ScriptChangesStore(const ScriptJob& job);

// On the processor, after the read-all and the step that asks again for what it left unanswered
// (`gaps`: what is still missing). Prints only values that came from the processor and sends only
// what holds no value it never sent; says what was and was not applied when the link or an answer
// fails (1).
int RunScriptOnDevice(const ScriptJob& job, CConnection& conn, const CAnswerLog& log, const ReadGaps& gaps);

// --file: lays the mode file onto the start-up store, runs the job without a link and, when it
// changed the store, writes back the areas the file holds: the file keeps its version and length.
// A value the file does not hold is neither shown nor changed (3); a failure leaves the file as it was.
int RunScriptOnFile(const ScriptJob& job, const std::string& path);
