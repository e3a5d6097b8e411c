#include "cli/Outcome.h"

#include "cli/Language.h"
#include "link/Transport.h"

#include <algorithm>

namespace {

// Code and target: block and parameter of a parameter report, address and length of memory.
bool SameTarget(const Report& sent, const Report& reply) {
    if (sent[1] != reply[1])
        return false;
    if (sent[1] == CMD_SET_PARAM || sent[1] == CMD_GET_PARAM)
        return sent[3] == reply[3] && sent[4] == reply[4];
    if (sent[1] == CMD_MEM_WRITE || sent[1] == CMD_MEM_READ)
        return sent[2] == reply[2] && sent[3] == reply[3] && sent[4] == reply[4];
    return true;
}

} // namespace

void CAnswerLog::Sent(const Report& report) {
    std::lock_guard lock(m_mutex);
    m_sent.push_back(report);
    m_answered.push_back(false);
}

void CAnswerLog::Received(const Report& report) {
    std::lock_guard lock(m_mutex);
    size_t oldest = m_sent.size();
    for (size_t i = m_nFloor; i < m_sent.size(); ++i) {
        if (m_answered[i])
            continue;
        if (SameTarget(m_sent[i], report)) {
            m_answered[i] = true;
            return;
        }
        oldest = std::min(oldest, i);
    }
    if (oldest < m_sent.size())
        m_answered[oldest] = true;
}

void CAnswerLog::StartPhase() {
    std::lock_guard lock(m_mutex);
    m_nFloor = m_sent.size();
}

CAnswerLog::Mark CAnswerLog::Here(const CUsbLink& link) const {
    std::lock_guard lock(m_mutex);
    return {m_answered.size(), link.RefusedCount()};
}

ItemOutcome CAnswerLog::Between(const Mark& from, const Mark& to) const {
    std::lock_guard lock(m_mutex);
    const size_t end = std::min(to.nEntry, m_answered.size());
    const size_t sent = end > from.nEntry ? end - from.nEntry : 0;
    const size_t answered = AnsweredLocked(from.nEntry, end);
    const uint64_t refused = to.nRefused - from.nRefused;
    if (answered == sent && refused == 0 && sent > 0)
        return ItemOutcome::Applied;
    // A refused write may have reached the trace first: with no answer at all, nothing got through.
    if (answered == 0 && sent - answered <= refused)
        return ItemOutcome::NotSent;
    return ItemOutcome::Unanswered;
}

size_t CAnswerLog::AnsweredBetween(const Mark& from, const Mark& to) const {
    std::lock_guard lock(m_mutex);
    return AnsweredLocked(from.nEntry, std::min(to.nEntry, m_answered.size()));
}

ReplyTally CAnswerLog::Since(const Mark& from) const {
    std::lock_guard lock(m_mutex);
    const size_t end = m_answered.size();
    return {end > from.nEntry ? end - from.nEntry : 0, AnsweredLocked(from.nEntry, end)};
}

size_t CAnswerLog::AnsweredLocked(size_t from, size_t end) const {
    return from >= end
               ? 0
               : static_cast<size_t>(std::count(m_answered.begin() + static_cast<std::ptrdiff_t>(from),
                                                m_answered.begin() + static_cast<std::ptrdiff_t>(end), true));
}

bool AllApplied(const NamedOutcomes& items) {
    return std::all_of(items.begin(), items.end(),
                       [](const auto& i) { return i.second == ItemOutcome::Applied; });
}

std::string DescribeOutcomes(const NamedOutcomes& items) {
    const std::pair<ItemOutcome, std::string> groups[] = {
        {ItemOutcome::Applied, Say("applied", "已生效")},
        {ItemOutcome::Unanswered, Say("sent without an answer, the processor may or may not have it",
                                      "已发出但没有应答，处理器可能收到也可能没收到")},
        {ItemOutcome::NotSent, Say("not sent", "没有发出")}};
    std::string text;
    for (auto [outcome, label] : groups) {
        std::string names;
        for (const auto& [name, o] : items)
            if (o == outcome)
                names += (names.empty() ? "" : ", ") + name;
        if (!names.empty())
            text += (text.empty() ? "" : Say("; ", "；")) + label + Say(": ", "：") + names;
    }
    return text;
}

std::string WhyUnfinished(const CUsbLink& link) {
    return !link.IsOpen() || link.ReaderEnded()
               ? Say("the link to the processor was lost", "与处理器的连接断了")
               : Say("the processor did not answer every report", "处理器没有应答每一条报告");
}
