// The tests' devices: a scripted HID backend and the simulated processor keeping what reached it.
#pragma once

#include "link/HidBackend.h"
#include "link/Report.h"
#include "sim/SimBackend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// A scripted device: answers each write with an acknowledgement unless told to stay silent. While
// held, a write stops inside the device until released, so that everything posted meanwhile stays in
// the link's queue. Replies can be injected; reads can be made to fail.
class CFakeHid : public IHidBackend {
public:
    std::vector<HidDeviceInfo> devices = {{"/dev/hidraw7", kVendorId, kProductId}};
    std::atomic<bool> bSilent{false};
    std::atomic<bool> bFailReads{false};
    std::vector<std::string> opened;
    int closes = 0;

    std::vector<HidDeviceInfo> Enumerate() override { return devices; }
    bool Open(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    void Close() override { ++closes; }
    int Read(uint8_t* buf, size_t length, int timeoutMs) override {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return !m_replies.empty() || bFailReads; });
        if (bFailReads)
            return -1;
        if (m_replies.empty())
            return 0;
        std::copy_n(m_replies.front().begin(), length, buf);
        m_replies.pop_front();
        return static_cast<int>(length);
    }
    int Write(const uint8_t* buf, size_t length) override {
        Report r{};
        std::copy_n(buf, length, r.begin());
        std::unique_lock lock(m_mutex);
        m_written.push_back(r);
        m_cv.notify_all();
        m_cv.wait(lock, [&] { return !m_bHeld; });
        if (!bSilent) {
            Report ack{};
            ack[1] = CMD_SET_PARAM;
            m_replies.push_back(ack);
            m_cv.notify_all();
        }
        return static_cast<int>(length);
    }

    void Inject(const Report& r) {
        std::lock_guard lock(m_mutex);
        m_replies.push_back(r);
        m_cv.notify_all();
    }
    void Fail() {
        bFailReads = true;
        m_cv.notify_all();
    }
    void Hold() {
        std::lock_guard lock(m_mutex);
        m_bHeld = true;
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_bHeld = false;
        m_cv.notify_all();
    }
    // Waits until `n` writes have reached the device (the last may be held there).
    void AwaitWritten(size_t n) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_written.size() >= n; });
    }
    std::vector<Report> Written() {
        std::lock_guard lock(m_mutex);
        return m_written;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Report> m_replies;
    std::vector<Report> m_written;
    bool m_bHeld = false;
};

// The simulated processor, keeping every report it received in order.
class CWatchedSim : public CSimBackend {
public:
    int Write(const uint8_t* buf, size_t length) override {
        {
            std::lock_guard lock(m_mutex);
            Report r{};
            std::copy_n(buf, std::min(length, r.size()), r.begin());
            m_received.push_back(r);
        }
        return CSimBackend::Write(buf, length);
    }
    std::vector<Report> Received() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

private:
    std::mutex m_mutex;
    std::vector<Report> m_received;
};
