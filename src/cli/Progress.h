// A wait that lasts: after two seconds a line on stderr says what is awaited and how many replies are
// still missing, rewritten in place until the wait ends, then wiped. Only when stderr is a terminal:
// scripts and tests read a clean stderr.
#pragma once

#include "cli/Outcome.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CWaitNotice {
public:
    // `what`: "reading the processor's settings". `tally`, read on the notice's own thread, counts
    // the replies; without it only the time is shown.
    explicit CWaitNotice(std::string what, std::function<ReplyTally()> tally = {});
    ~CWaitNotice();
    CWaitNotice(const CWaitNotice&) = delete;
    CWaitNotice& operator=(const CWaitNotice&) = delete;

private:
    void Run();

    const std::string m_strWhat;
    const std::function<ReplyTally()> m_tally;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bDone = false;
    std::thread m_thread;
};
