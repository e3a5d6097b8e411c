#include "cli/Complete.h"

#include "cli/Script.h"
#include "model/EqIo.h"
#include "sim/SimFaultList.h"

#include <iostream>
#include <optional>
#include <sstream>

namespace {

std::optional<std::vector<std::string>> Words(const std::vector<std::string>& args,
                                              const CompletionWords& words) {
    const std::string what = args.size() >= 2 ? args[1] : "";
    if (what == "verbs" && args.size() == 3)
        return words.verbs(args[2]);
    if (what == "options")
        return words.options(std::vector<std::string>(args.begin() + 2, args.end()));
    if (args.size() != 2)
        return std::nullopt;
    if (what == "commands")
        return words.commands;
    if (what == "sim-faults")
        return SimFaultItems();
    if (what == "settings")
        return SettingNames();
    if (what == "eqs")
        return std::vector<std::string>(kEqShortNames.begin(), kEqShortNames.end());
    return std::nullopt;
}

} // namespace

int CmdComplete(const std::vector<std::string>& args, const CompletionWords& words) {
    const std::optional<std::vector<std::string>> list = Words(args, words);
    if (!list) {
        std::cerr
            << "m7qctl: complete takes commands, options [COMMAND VERB], sim-faults, settings, eqs or verbs "
               "COMMAND\n";
        return 2;
    }
    std::ostringstream out;
    for (const std::string& word : *list)
        out << word << "\n";
    std::cout << out.str();
    return 0;
}
