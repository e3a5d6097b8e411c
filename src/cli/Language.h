// The language of m7qctl's messages: Chinese when the locale the environment names for messages is
// Chinese (the first set of LC_ALL, LC_MESSAGES and LANG begins with "zh"), English otherwise. The
// window's own texts (its message boxes) are not used here: they are Chinese whatever the locale.
#pragma once

#include <string>

bool CliInChinese();

// `en` or `zh`, whichever the messages are in.
inline std::string Say(const std::string& en, const std::string& zh) {
    return CliInChinese() ? zh : en;
}
