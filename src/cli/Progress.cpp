#include "cli/Progress.h"

#include "cli/Language.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds kShowAfter{2000};
constexpr std::chrono::milliseconds kRefresh{250};

// Short, without escape sequences: any terminal shows it.
std::string Line(const std::string& what, const ReplyTally* tally, int seconds) {
    const std::string time = std::to_string(seconds);
    if (!tally)
        return Say("m7qctl: " + what + " (" + time + " s)", "m7qctl: " + what + "（" + time + " 秒）");
    const size_t missing = tally->nSent > tally->nAnswered ? tally->nSent - tally->nAnswered : 0;
    const std::string in = std::to_string(tally->nAnswered), out = std::to_string(missing);
    return Say("m7qctl: " + what + ": " + in + " replies in, " + out + " missing (" + time + " s)",
               "m7qctl: " + what + "：已收到 " + in + " 条回复，缺 " + out + " 条（" + time + " 秒）");
}

} // namespace

CWaitNotice::CWaitNotice(std::string what, std::function<ReplyTally()> tally)
    : m_strWhat(std::move(what)), m_tally(std::move(tally)) {
    if (isatty(STDERR_FILENO))
        m_thread = std::thread([this] { Run(); });
}

CWaitNotice::~CWaitNotice() {
    {
        std::lock_guard lock(m_mutex);
        m_bDone = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CWaitNotice::Run() {
    const auto start = std::chrono::steady_clock::now();
    size_t shown = 0; // bytes of the line on the terminal
    std::string last;
    std::unique_lock lock(m_mutex);
    if (!m_cv.wait_for(lock, kShowAfter, [this] { return m_bDone; })) {
        do {
            const ReplyTally tally = m_tally ? m_tally() : ReplyTally{};
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
            const std::string line =
                Line(m_strWhat, m_tally ? &tally : nullptr, static_cast<int>(seconds.count()));
            if (line == last)
                continue;
            // Spaces over what a longer line left.
            std::fprintf(stderr, "\r%s%*s", line.c_str(),
                         static_cast<int>(shown > line.size() ? shown - line.size() : 0), "");
            std::fflush(stderr);
            shown = std::max(shown, line.size());
            last = line;
        } while (!m_cv.wait_for(lock, kRefresh, [this] { return m_bDone; }));
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(shown), "");
        std::fflush(stderr);
    }
}
