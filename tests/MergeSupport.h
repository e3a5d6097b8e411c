// Checks for a link that lets newer edits replace waiting ones: what reached the processor, target by
// target, against what the console asked for.
#pragma once

#include "link/Report.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

// What a report sets: the code with block, parameter and value count, or with address and length.
// Any other report is a target of its own (its whole bytes).
inline std::vector<uint8_t> TargetOf(const Report& r) {
    if (r[1] == CMD_SET_PARAM)
        return {r[1], r[2], r[3], r[4], r[5]};
    if (r[1] == CMD_MEM_WRITE)
        return {r[1], r[2], r[3], r[4]};
    return {r.begin(), r.end()};
}

// For every target: the reports received are some of the reports sent to it, in the order sent, and
// the last one sent is the last one received (so the processor ends with the newest value).
inline ::testing::AssertionResult PerTargetOrderKept(const std::vector<Report>& sent,
                                                     const std::vector<Report>& received) {
    std::map<std::vector<uint8_t>, std::vector<Report>> out, in;
    for (const Report& r : sent)
        out[TargetOf(r)].push_back(r);
    for (const Report& r : received)
        in[TargetOf(r)].push_back(r);
    for (const auto& [target, got] : in)
        if (!out.count(target))
            return ::testing::AssertionFailure()
                   << "a report to a target never sent to, code " << int(target[0]);
    int index = 0;
    for (const auto& [target, want] : out) {
        ++index;
        const std::vector<Report>& got = in[target];
        size_t at = 0;
        for (const Report& r : got) {
            while (at < want.size() && want[at] != r)
                ++at;
            if (at == want.size())
                return ::testing::AssertionFailure()
                       << "target " << index << " (code " << int(target[0]) << "): out of order or altered";
            ++at;
        }
        if (got.empty() || got.back() != want.back())
            return ::testing::AssertionFailure()
                   << "target " << index << " (code " << int(target[0]) << "): the last value did not arrive";
    }
    return ::testing::AssertionSuccess();
}

// True when `part` occurs in `whole` in the same order (other reports may stand between).
inline bool IsSubsequence(const std::vector<Report>& part, const std::vector<Report>& whole) {
    size_t at = 0;
    for (const Report& r : whole)
        if (at < part.size() && r == part[at])
            ++at;
    return at == part.size();
}
