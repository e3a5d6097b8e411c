// Connection procedures over the link: connect, identify and read everything, write everything,
// memory modes, live polling, removal and disconnect. No user interface here: questions and notices
// belong to the caller, results come back as values and events.
#pragma once

#include "link/Transport.h"
#include "sync/PollToken.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr const char* kExpectedModel = "M7Q";
constexpr int kExpectedCmdVersion = 18;
constexpr int kImageChunk = 56;

enum class SyncKind { ReadAll = 0, WriteAll = 1 };

class CConnection {
public:
    explicit CConnection(CUsbLink& link);
    ~CConnection();

    // Opens the link and starts a read-all; false when already connected or no device answered.
    // A transfer still running on the previous link (cut off by its removal) is followed by the read.
    bool Connect();
    // The bulk transfers, each on its own worker thread; the worker raises OnSyncFinished.
    void StartReadAll();
    // `pendingMode` 0..3: the memory mode a file named m1..m4 is stored into once it is written
    // (finished by OnSyncFinished); -1 writes it alone.
    void StartWriteAll(int pendingMode = -1);
    bool SyncRunning() const { return m_bSyncRunning; }
    // Waits for the current worker (tools and tests).
    void WaitSync();

    // Completes a transfer on the caller's thread: checks model and command-set version, finishes
    // a pending file mode. Returns "" on success, else the error text, after disconnecting.
    std::string OnSyncFinished();

    // Memory modes 0..3. Loading and factory recall start a read-all.
    void LoadMode(int n);
    void StoreMode(int n);
    void FactoryMode(int n);
    int PendingFileMode() const { return m_nPendingFileMode; }

    // Live polling: a tick asks for the live status when no token is out, the user has not turned
    // polling off, and the link is open and its reader has not failed.
    void LivePollTick();
    [[nodiscard]] CPollToken SuspendPolling() { return m_pollGate.Suspend(); }
    bool LivePollAllowed() const;
    // The user's choice to poll the live status at all (the About box's "Peak").
    void SetPeakPoll(bool on) { m_bPeakPoll = on; }
    bool PeakPoll() const { return m_bPeakPoll; }
    // A device went away; true when it was ours and the link is now closed.
    bool OnRemoval(const std::string& path);
    // The console's own disconnect: CMD_DISCONNECT, then close.
    void Disconnect();
    void MachineReset();

    // The procedures themselves, run by the workers; public for tools that want them inline.
    void IdentifyAndReadAll();
    void WriteAll();
    void SendAllParameters(int volumeMode);

    CUsbLink& Link() { return m_link; }

    // The parameter and memory requests of the last read-all whose answer has not come. The read-all
    // goes on past a lost reply, keeping the value the console had; a backup must not.
    std::vector<Report> UnansweredReads() const;
    // Asks once more for each of them, in the read-all's order, and waits for the last answer; a read
    // whose answer must be decoded after one of them is asked again too. Returns what is still unanswered.
    std::vector<Report> AskAgain();

private:
    void StartWorker(SyncKind kind, bool bAfterRunning = false);
    void Recall(uint8_t command, int n);
    void ReadParam(int block, int param, int count = 1);
    void ReadMemory(int address, int length);
    void Read(const Report& request);
    void NoteReceived(const Report& report);

    struct ReadRecord {
        Report request;
        bool bAnswered = false;
    };

    CUsbLink& m_link;
    CPollGate m_pollGate;
    std::atomic<bool> m_bPeakPoll{true};
    std::atomic<int> m_nPendingFileMode{-1};
    std::thread m_worker;
    std::atomic<bool> m_bSyncRunning{false};
    std::mutex m_workerMutex;        // the running flag and the queued read change together
    bool m_bReadAllQueued = false;   // a read-all to run once the running transfer is done
    mutable std::mutex m_readsMutex; // the reader thread marks answers
    std::vector<ReadRecord> m_reads;
};

// The error texts of a failed identification.
extern const char* const kTextWrongModel;
extern const char* const kTextWrongVersion;
