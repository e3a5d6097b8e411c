// What became of the reports a command sent, fed from the link's trace: every report the processor
// sends answers one sent report (any code releases the next write), the oldest one still unanswered,
// or sooner one of the same code and target (an acknowledgement naming its parameter). The link
// counts the writes it refused. Commands group their reports into items (a setting, a band, a
// write-all) and say for each whether it was applied.
#pragma once

#include "link/Report.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CUsbLink;

enum class ItemOutcome {
    Applied,    // every report sent and answered
    Unanswered, // something went out, but not everything was sent and answered
    NotSent,    // nothing reached the processor
};

// Reports sent and answered since a mark, for a wait's progress.
struct ReplyTally {
    size_t nSent = 0;
    size_t nAnswered = 0;
};

class CAnswerLog {
public:
    struct Mark {
        size_t nEntry = 0;
        uint64_t nRefused = 0;
    };
    // Called from the link's trace (any thread).
    void Sent(const Report& report);
    void Received(const Report& report);
    // From now on answers go only to reports sent from here: call it once what came before has had
    // its answers (CUsbLink::AwaitReply), so that a late or extra reply of an earlier phase (the
    // identification answers with several reports) is not taken for a new report's answer.
    void StartPhase();
    Mark Here(const CUsbLink& link) const;
    // The outcome of the reports between two marks; read it once their answers had time to come
    // (after CUsbLink::AwaitReply or the end of a transfer).
    ItemOutcome Between(const Mark& from, const Mark& to) const;
    // Reports sent and answered between two marks.
    size_t AnsweredBetween(const Mark& from, const Mark& to) const;
    // Reports sent and answered from a mark until now.
    ReplyTally Since(const Mark& from) const;

private:
    size_t AnsweredLocked(size_t from, size_t end) const;

    mutable std::mutex m_mutex;
    std::vector<Report> m_sent;
    std::vector<bool> m_answered; // one per report sent
    size_t m_nFloor = 0;
};

using NamedOutcomes = std::vector<std::pair<std::string, ItemOutcome>>;
bool AllApplied(const NamedOutcomes& items);
// "applied: A, B; sent without an answer, the processor may or may not have it: C; not sent: D".
std::string DescribeOutcomes(const NamedOutcomes& items);
// Why a command could not finish: "the link to the processor was lost" or "the processor did not
// answer every report".
std::string WhyUnfinished(const CUsbLink& link);
