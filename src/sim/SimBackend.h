// The simulated processor behind the HID backend interface, so that the transport opens it like the
// real device. Faults can be injected at any time to exercise the console's failure paths.
#pragma once

#include "link/HidBackend.h"
#include "sim/SimProcessor.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

inline constexpr const char* kSimDevicePath = "sim:0";
inline constexpr const char* kSimForeignPath = "sim:foreign";
constexpr uint16_t kSimForeignVendorId = 0x046D;
constexpr uint16_t kSimForeignProductId = 0xC52B;
inline constexpr const char* kSimWrongModel = "M5X";
// The code a learning request learns under the learn-key fault: this plus the key number.
constexpr uint8_t kSimLearnedCodeBase = 0x40;
// How long after a plug transmission the plug-report fault's node report comes.
constexpr int kSimPlugReportMs = 1000;

struct SimFaults {
    int nLatencyMs = 0;                 // a reply becomes readable this long after its request
    bool bSilent = false;               // no reply at all
    bool bWrongModel = false;           // every model request answered with kSimWrongModel
    bool bModelOnSecondAttempt = false; // only the first model request answered with kSimWrongModel
    int nCmdVersion = 0;                // non-zero: the command-set version answered instead of 18
    bool bErasedMemory = false;         // memory replies carry 0xFF data; the memory itself is kept
    int nDropEvery = 0;                 // every Nth reply is lost (0: none)
    double fDropProbability = 0.0;      // each reply is lost with this probability (seeded)
    int nUnplugAfter = 0;               // the cable is pulled on receiving the Nth report (0: never)
    int nReplugAfterMs = 0;             // with nUnplugAfter: the cable goes back in this long after
    int nLearnKeyAfterMs = 0;           // a learning request is answered this long later (0: never)
    int nPlugReport = 0;                // 2..7: a node report of this value after every plug transmission
                                        // the node acknowledged, kSimPlugReportMs later
    int nLateButtonMs = 0;              // inclusion and exclusion wait this long for a plug's button
    int nSilentPlug = 0;                // this plug node neither acknowledges nor reports (0: none)
    int nPlugGarbageEvery = 0;          // a random plug report after every Nth reply to plug traffic
    int nGarbageEvery = 0;              // a random extra report after every Nth reply (0: none)
    bool bGarbageAnyCode = false;       // garbage may use codes the console decodes; else only others
    int nDriftAfterMs = 0;              // this long after the faults are set, the processor changes the
                                        // music volume and music EQ band 1 itself, as a front-panel knob
    uint32_t nSeed = 1;                 // for dropped replies and garbage
    bool operator==(const SimFaults&) const = default;
};

struct SimCounters {
    std::array<uint64_t, 256> nReceived{}; // reports received, by command code
    uint64_t nReceivedTotal = 0;
    uint64_t nReplies = 0;   // replies the processor produced (before drops)
    uint64_t nDropped = 0;   // replies lost to silence or dropping
    uint64_t nGarbage = 0;   // garbage reports injected
    uint64_t nDelivered = 0; // reports handed out by Read
    // Reports the processor gave no answer (a learning request waits for its key).
    uint64_t nUnanswered = 0;
};

class CSimBackend : public IHidBackend {
public:
    CSimBackend() = default;
    ~CSimBackend() override;
    CSimBackend(const CSimBackend&) = delete;
    CSimBackend& operator=(const CSimBackend&) = delete;

    std::vector<HidDeviceInfo> Enumerate() override;
    bool Open(const std::string& path) override;
    int Read(uint8_t* buf, size_t length, int timeoutMs) override;
    int Write(const uint8_t* buf, size_t length) override;
    void Close() override;

    // The counting faults (second attempt, every Nth, unplug after N) and the seed start again here.
    void SetFaults(const SimFaults& faults);
    SimFaults Faults() const;
    SimCounters Counters() const;
    void ResetCounters();

    // The cable: an unplugged device is not listed, and an open handle to it fails.
    void Unplug();
    void Plug();
    bool IsPlugged() const;
    // Told on every pull and return of the cable (Unplug, Plug and the faults), on the thread that
    // moved it and without the backend's lock: what a device monitor reports for a real cable.
    // Setting it waits for a call in progress.
    void SetCableWatch(std::function<void(bool plugged)> watch);
    // Lists another vendor's HID device before ours; it opens but never answers.
    void ShowForeignDevice(bool show);

    // A key of the remote pressed on the processor; true when a learning request was waiting.
    bool PressKey(uint8_t code);
    // Z-Wave: a frame the controller sends on its own, and a plug's button (CSimProcessor).
    void InjectZWave(const std::vector<uint8_t>& data);
    bool PressPlugButton(int id = 0, uint8_t kind = kSimPlugSwitch);

    // Direct access to the processor, under the backend's lock.
    template <class F> decltype(auto) WithProcessor(F&& f) {
        std::lock_guard lock(m_mutex);
        return f(m_proc);
    }
    bool SaveState(const std::string& path, std::string& error) const;
    bool LoadState(const std::string& path, std::string& error);

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Report report;
        Clock::time_point at;
    };
    enum class Opened { None, Ours, Foreign };
    // What the faults do later: put the cable back, press a remote key, press a plug's button, send
    // a node report.
    struct Timed {
        enum Kind { Replug, LearnKey, PlugButton, PlugReport, Drift } kind;
        Clock::time_point at;
        uint8_t nArg = 0;
    };

    void ApplyFaults(Report& reply);
    void Deliver(const std::vector<Report>& replies, bool plugTraffic = false);
    void Queue(const Report& report);
    Report Garbage(bool plugCodes = false);
    bool UnplugLocked(); // true when the cable was in
    void AfterWriteLocked(const Report& in, bool modeWaited, const std::vector<Report>& replies);
    void Schedule(Timed::Kind kind, int ms, uint8_t arg = 0);
    void TimerLoop();
    void DriftLocked();
    void NotifyCable(bool plugged);

    std::condition_variable m_timerCv;
    std::vector<Timed> m_timed;
    std::thread m_timer;
    bool m_bStopTimer = false;
    std::mutex m_watchMutex;
    std::function<void(bool)> m_watch;
    uint64_t m_nPlugReplies = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    CSimProcessor m_proc;
    std::deque<Pending> m_queue;
    Opened m_opened = Opened::None;
    bool m_bPlugged = true;
    bool m_bForeign = false;
    SimFaults m_faults;
    SimCounters m_counters;
    std::mt19937 m_rng{1};
    uint64_t m_nSinceFaults = 0; // reports received since SetFaults
    uint64_t m_nModelAsks = 0;
    uint64_t m_nReplyCount = 0;
};
