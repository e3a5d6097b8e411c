// How the core reports to the user interface. The Qt layer queues each call onto the UI thread;
// m7qctl prints. Calls may come from the reader thread or a worker thread.
#pragma once

#include <cstdint>
#include <string>

// Regions of the store a received report (or the link's opening and closing) can change.
enum StoreRegion : uint32_t {
    STORE_LIVE = 1u << 0,       // live status: levels, format, wireless microphones
    STORE_PARAMS = 1u << 1,     // setting slots from parameter replies
    STORE_IMAGE = 1u << 2,      // the memory image and its blocks
    STORE_IDENTITY = 1u << 3,   // model, versions
    STORE_MODES = 1u << 4,      // current mode and mode names
    STORE_PLUGS = 1u << 5,      // node table and plug memory
    STORE_STATUS = 1u << 6,     // remote keys and machine settings
    STORE_CONNECTION = 1u << 7, // the link opened or closed
    STORE_MODIFIED = 1u << 8,   // an edit was acknowledged
};

class IConsoleEvents {
public:
    virtual ~IConsoleEvents() = default;
    // A parameter report carried a non-zero error code; raised once per run.
    virtual void OnParamError(uint8_t code, uint8_t block, uint8_t param) {
        (void)code, (void)block, (void)param;
    }
    // A remote key was learned; `code` is the learned code byte.
    virtual void OnKeyLearned(uint8_t code) { (void)code; }
    // A Z-Wave event for the plug window (w, l as the plug flows define them).
    virtual void OnPlugEvent(uint32_t w, uint32_t l) { (void)w, (void)l; }
    // A plug worker's progress for the plug window (w, l as the plug flows define them).
    virtual void OnPlugProgress(uint32_t w, uint32_t l) { (void)w, (void)l; }
    // A read-all (0) or write-all (1) worker ended; the handler runs CConnection::OnSyncFinished.
    virtual void OnSyncFinished(int kind) { (void)kind; }
    // The store changed in `regions` (StoreRegion bits). Raised for every report, from the reader
    // thread: the receiver coalesces.
    virtual void OnStoreChanged(uint32_t regions) { (void)regions; }
};

void SetConsoleEvents(IConsoleEvents* events);
IConsoleEvents* GetConsoleEvents();
// Tells the current receiver, if any, that the store changed.
void RaiseStoreChanged(uint32_t regions);

// Diagnostics for developers: written to stderr when M7Q_DEBUG is set.
void DebugText(const std::string& text);

// The parameter-error message text.
std::string FormatParamError(uint8_t code, uint8_t block, uint8_t param);
