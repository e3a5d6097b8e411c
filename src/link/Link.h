// Where the builders' reports go. The transport implements this; tests install a recorder.
#pragma once

#include "link/Report.h"

#include <chrono>
#include <mutex>
#include <vector>

class ILink {
public:
    virtual ~ILink() = default;
    // Sends one report; returns 61 on success, else the count written (0 when the link is down).
    virtual int WriteReport(const Report& report) = 0;
    // A settle delay between two reports of one sequence (fades). A link that queues writes keeps
    // the delay in its queue so that the caller does not block.
    virtual void Pause(std::chrono::milliseconds ms) = 0;
};

// The current link; nullptr means no link, and every write returns 0.
void SetLink(ILink* link);
ILink* GetLink();

// Copies the first `length` bytes into a zero-filled report and hands it to the link.
int WriteUsbData(const uint8_t* data, size_t length);
int WriteUsbData(const Report& report);
void LinkPause(std::chrono::milliseconds ms);

// Opened by an edit handler around its sends (a band dragged, a slider moved): while one is open on
// the calling thread, a queuing link may let each of these writes replace a not yet sent write to the
// same target, since only the latest value of that target matters. Every other write, and every
// pause, is a barrier that nothing is merged across.
class CMergeableEdits {
public:
    CMergeableEdits();
    ~CMergeableEdits();
    CMergeableEdits(const CMergeableEdits&) = delete;
    CMergeableEdits& operator=(const CMergeableEdits&) = delete;
    // True when the calling thread's writes may be merged now.
    static bool Active();

private:
    bool m_bWas;
};

// Opened around a sequence that must reach the processor step by step (a fade): its writes stay
// barriers even when the caller has opened CMergeableEdits.
class CStepByStepEdits {
public:
    CStepByStepEdits();
    ~CStepByStepEdits();
    CStepByStepEdits(const CStepByStepEdits&) = delete;
    CStepByStepEdits& operator=(const CStepByStepEdits&) = delete;

private:
    bool m_bWas;
};

// Captures every report for tests and offline tools; answers as a working link.
class CRecordingLink : public ILink {
public:
    struct Entry {
        Report report{};
        int nPauseMs = -1; // >= 0: a pause entry instead of a report
        bool bMergeable = false;
    };
    int WriteReport(const Report& report) override;
    void Pause(std::chrono::milliseconds ms) override;

    std::vector<Report> Reports() const;
    std::vector<Entry> Entries() const;
    void Clear();
    size_t Count() const;
    int nResult = 61; // what WriteReport returns

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
};
