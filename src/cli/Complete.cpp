#include "cli/Complete.h"

#include "cli/Dump.h"
#include "model/EqIo.h"
#include "model/ParamStore.h"

#include <iostream>
#include <sstream>

int CmdComplete(const std::vector<std::string>& args) {
    const std::string what = args.size() == 2 ? args[1] : "";
    std::ostringstream out;
    if (what == "settings") {
        for (int slot = 0; slot < SET_COUNT; ++slot)
            if (SlotIsDumped(slot))
                out << SlotName(slot) << "\n";
    } else if (what == "eqs") {
        for (const char* name : kEqShortNames)
            out << name << "\n";
    } else {
        std::cerr << "m7qctl: complete takes settings or eqs\n";
        return 2;
    }
    std::cout << out.str();
    return 0;
}
