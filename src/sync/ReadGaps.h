// What a read-all left unanswered, asked again, and kept out of what a tool prints or sends: the
// read-all goes on past a lost reply with the value the console had, which is not the processor's.
#pragma once

#include "sync/Sync.h"

#include <functional>
#include <string>
#include <vector>

constexpr int kAskAgainTimes = 3;

struct ReadGaps {
    std::vector<Report> reads; // requests still unanswered, in the read-all's order
    bool bLinkLost = false;    // the reader ended or the link closed
    bool Empty() const { return reads.empty() && !bLinkLost; }
};

// The one step every tool runs after its read-all: asks again, up to kAskAgainTimes, for each read
// that has no answer, while the link lasts; returns what is still missing.
ReadGaps AskAgainForUnanswered(CConnection& conn);

// "block 5 parameter 27" or "memory 0x0150 (56 bytes)".
std::string DescribeRead(const Report& request);
// The names of the settings a parameter read fills ("" for a memory read).
std::string ValuesOfRead(const Report& request);
// "block 5 parameter 27 (SET_OUT_COMP_THRESHOLD[1], ...), memory 0x0150 (56 bytes) and 3 more", with at
// most `named` reads spelt out.
std::string NameReads(const std::vector<Report>& reads, size_t named = 8);
// "the link to the processor was lost; no answer for 2 reads: ..." or "no answer for 2 reads after
// asking 3 more times: ..."; "" when nothing is missing.
std::string DescribeGaps(const ReadGaps& gaps);

// An answer to `request` as the processor could have sent it, with values of its own (variant
// 0..kProbeVariants-1).
Report InventedAnswer(const Report& request, int variant);

// The reads among `reads` whose answer would change `run`'s outcome: its text and the reports it sends.
std::vector<Report> ReadsFeeding(const std::vector<Report>& reads, const std::function<std::string()>& run);
