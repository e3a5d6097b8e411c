// What the EQ panel's files share: C-library formatting and copies of its sections. Private to the
// panel.
#pragma once

#include "dsp/FilterResponse.h"

#include <QString>

#include <cstdio>
#include <span>
#include <vector>

namespace eqpanel {

// printf formatting as the C library does it: Qt's own asprintf drops the sign of a negative zero.
template <typename... Args> QString Format(const char* fmt, Args... args) {
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return QString::fromUtf8(buf);
}

// Copies of the panel's sections for the core's span-based curve functions.
template <class Band> std::vector<EqSection> Sections(std::span<const Band> bands) {
    return std::vector<EqSection>(bands.begin(), bands.end());
}

} // namespace eqpanel
