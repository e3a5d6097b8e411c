// Arrival and removal of HID devices: a udev monitor on hidraw where udev runs, else polling.
#pragma once

#include "link/HidBackend.h"

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>

class CDeviceMonitor {
public:
    using Callback = std::function<void(const std::string& path)>;
    // Callbacks run on the monitor's thread.
    CDeviceMonitor(Callback onArrival, Callback onRemoval);
    ~CDeviceMonitor();
    CDeviceMonitor(const CDeviceMonitor&) = delete;
    CDeviceMonitor& operator=(const CDeviceMonitor&) = delete;

    // Starts watching; polls `backend`'s enumeration when no udev monitor can be had.
    void Start(IHidBackend& pollBackend);
    void Stop();
    bool UsesUdev() const { return m_bUdev; }

private:
    void RunUdev(void* monitor);
    void RunPolling(IHidBackend& backend);

    Callback m_onArrival, m_onRemoval;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bUdev{false};
    int m_stopPipe[2] = {-1, -1};
};
