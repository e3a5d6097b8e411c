#include "cli/Help.h"

#include "sim/SimFaultList.h"

#include <algorithm>

namespace {

constexpr size_t kTextWidth = 100;
constexpr size_t kColumn = 30; // where the usage text's descriptions start

// `text` wrapped to lines of at most `width` bytes (a longer word stands alone).
std::vector<std::string> Wrap(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line = word;
        } else {
            line += (line.empty() ? "" : " ") + word;
        }
        at = end + 1;
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at <= text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// "  left          words words\n" with the words wrapped in their column; a left side too wide for
// its column stands on a line of its own, the words below it.
std::string TwoColumns(const std::string& left, const std::string& words) {
    std::string side = left.empty() ? "" : "  " + left;
    std::string text;
    if (side.size() + 1 > kColumn) {
        text += side + "\n";
        side.clear();
    }
    for (const std::string& line : Wrap(words, kTextWidth - kColumn)) {
        text += side + std::string(kColumn - side.size(), ' ') + line + "\n";
        side.clear();
    }
    if (!side.empty())
        text += side + "\n";
    return text;
}

} // namespace

std::string OptionForm(const OptionRow& row) {
    return row.szName + (*row.szArg ? " " + std::string(row.szArg) : "");
}

std::string UsageText(std::span<const CommandRow> commands, std::span<const OptionRow> options) {
    std::string text = "usage: m7qctl [OPTIONS] COMMAND [ARGUMENTS]\n"
                       "       m7qctl help [COMMAND] | COMMAND --help | --version\n\nCommands:\n";
    for (const CommandRow& row : commands) {
        if (row.bHidden)
            continue;
        // Form n beside summary line n.
        const std::vector<std::string> forms = Split(row.strSynopsis), words = Split(row.strSummary);
        for (size_t i = 0; i < std::max(forms.size(), words.size()); ++i)
            text += TwoColumns(i < forms.size() ? forms[i] : "", i < words.size() ? words[i] : "");
    }
    text += "\nOptions:\n";
    for (const OptionRow& row : options)
        text +=
            TwoColumns((*row.szAlias ? row.szAlias + std::string(", ") : "") + OptionForm(row), row.szHelp);
    text += "\n";
    for (const std::string& line :
         Wrap("Faults of --sim-fault LIST, comma-separated: " + SimFaultSummary() + ".", kTextWidth))
        text += line + "\n";
    for (const std::string& line :
         Wrap("Exit status: 0 done; 1 no processor, it failed or did not answer (what was applied is said); "
              "2 usage; 3 file. diff and verify: 0 equal, 1 they differ, 2 usage, 3 file, 4 no processor. "
              "doctor: 0 all well, 1 no processor, 4 no permission, 5 held by another "
              "program, 6 no answer, 7 another model or command-set version.",
              kTextWidth))
        text += line + "\n";
    return text;
}

std::string SynopsisLines(const CommandRow& row) {
    std::string text;
    for (const std::string& form : Split(row.strSynopsis))
        text += (text.empty() ? "usage: " : "       ") + std::string("m7qctl [OPTIONS] ") + form + "\n";
    return text;
}

std::string CommandHelp(const CommandRow& row) {
    std::string text = SynopsisLines(row);
    for (const std::string& paragraph : Split(row.strHelp)) {
        text += "\n";
        for (const std::string& line : Wrap(paragraph, kTextWidth - 2))
            text += "  " + line + "\n";
    }
    for (const auto& [verb, options] : row.verbOptions) {
        text += "\nOptions of " + row.strName + " " + verb + ":\n";
        for (const OptionRow& option : options)
            text += TwoColumns(OptionForm(option), option.szHelp);
    }
    return text;
}
