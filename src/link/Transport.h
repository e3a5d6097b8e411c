// The USB link: one open device, its reader thread, and reply-paced writes under one lock.
#pragma once

#include "link/HidBackend.h"
#include "link/Link.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// An auto-reset event: Wait consumes the signal.
class CAutoEvent {
public:
    explicit CAutoEvent(bool signalled = false) : m_bSignalled(signalled) {}
    void Set();
    void Reset();
    bool Wait(std::chrono::milliseconds timeout); // true when signalled, false on time-out

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bSignalled;
};

// Written to the trace: every report, sent ('>') or received ('<').
using ReportTrace = std::function<void(char direction, const Report& report)>;

// What the transport hands on: every received report (on the reader thread) and the link's opening
// and closing. The layer above decides what they mean for the store.
struct LinkHandlers {
    std::function<void(const Report&)> onReport;
    std::function<void()> onOpened;
    std::function<void()> onClosed;
};

class CUsbLink : public ILink {
public:
    CUsbLink(IHidBackend& backend, LinkHandlers handlers);
    ~CUsbLink() override;
    CUsbLink(const CUsbLink&) = delete;
    CUsbLink& operator=(const CUsbLink&) = delete;

    // Opens the first device with the processor's ids and starts the reader. False when already
    // open or when no such device is present.
    bool Open();
    // Clears the live status, stops the reader (waiting at most 1000 ms) and closes the device.
    void Close();
    bool IsOpen() const { return m_bConnected; }
    // True after a read error, until the link opens again: nothing more goes through it.
    bool ReaderEnded() const { return m_bReadThreadEnd; }
    std::string DevicePath() const;
    // True when a removal names the open device (paths compared without regard to case).
    bool IsRemovalOf(const std::string& path) const;

    // The paced write: waits at most 1800 ms for the previous reply, then writes under the lock.
    int WriteUsbDataNow(const Report& report);

    // ILink: from a posting thread the report is queued and the call returns at once; from any
    // other thread it is written now, after whatever is queued. A queued write made under
    // CMergeableEdits replaces, in place, a waiting one to the same target (set-parameter block,
    // parameter and value count; memory address and length) made the same way, unless a barrier
    // stands between them.
    int WriteReport(const Report& report) override;
    void Pause(std::chrono::milliseconds ms) override;

    // Writes from the calling thread are queued from now on (the UI thread; the reader's are always).
    static void PostWritesFromThisThread(bool post);
    // Waits until every queued write has gone out.
    void Flush();
    // Waits at most 1800 ms for the reply to the last write, leaving the next write free to go.
    void AwaitReply();
    // Lets a write waiting for a reply that will not come (a learning request) go ahead now.
    void ReleaseReplyWait() { m_replyEvent.Set(); }

    void SetTrace(ReportTrace trace);
    // Queued writes replaced by a later write to the same target since the link was made.
    uint64_t MergedCount() const { return m_nMerged; }
    // Writes that did not reach the device since the link was made: refused while closed or after a
    // read error, or written short.
    uint64_t RefusedCount() const { return m_nRefused; }
    // Called on the reader thread with every report received, once it is handled.
    void SetReceiveWatch(std::function<void(const Report&)> watch);

private:
    struct Queued {
        Report report{};
        int nPauseMs = -1;
        bool bMergeable = false; // false: a barrier
    };
    bool MergeLocked(const Report& report);
    int Refused();
    void ReaderLoop();
    void WriterLoop();
    void Trace(char direction, const Report& report);

    IHidBackend& m_backend;
    const LinkHandlers m_handlers;
    std::atomic<bool> m_bConnected{false};
    std::atomic<bool> m_bReadThreadEnd{false};
    CAutoEvent m_replyEvent{true};
    CAutoEvent m_readerExit{false};
    std::mutex m_writeLock;
    std::thread m_reader;
    mutable std::mutex m_pathMutex;
    std::string m_strDevicePath;

    std::mutex m_queueMutex;
    std::condition_variable m_queueCv;
    std::deque<Queued> m_queue;
    std::atomic<uint64_t> m_nMerged{0};
    std::atomic<uint64_t> m_nRefused{0};
    bool m_bWriting = false;
    bool m_bStopWriter = false;
    std::thread m_writer;

    std::mutex m_traceMutex;
    ReportTrace m_trace;
    std::mutex m_watchMutex;
    std::function<void(const Report&)> m_watch;
};
