#include "cli/Language.h"

#include <cstdlib>
#include <cstring>

bool CliInChinese() {
    static const bool bChinese = [] {
        // The order the C library takes them in for messages: the first one set decides.
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
            if (const char* value = std::getenv(name); value && *value)
                return std::strncmp(value, "zh", 2) == 0;
        return false;
    }();
    return bChinese;
}
