// How the core reports to the user interface. The Qt layer queues each call onto the UI thread;
// m7qctl prints. Calls may come from the reader thread or a worker thread.
#pragma once

#include <cstdint>
#include <string>

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
};

void SetConsoleEvents(IConsoleEvents* events);
IConsoleEvents* GetConsoleEvents();

// Diagnostics for developers: written to stderr when M7Q_DEBUG is set.
void DebugText(const std::string& text);

// The parameter-error message text.
std::string FormatParamError(uint8_t code, uint8_t block, uint8_t param);
