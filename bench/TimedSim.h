// The simulated processor for the drag benchmarks, noting when the latest report reached it.
#pragma once

#include "sim/SimBackend.h"

#include <atomic>
#include <chrono>

using SteadyClock = std::chrono::steady_clock;

class TimedSim : public CSimBackend {
public:
    int Write(const uint8_t* buf, size_t length) override {
        const int n = CSimBackend::Write(buf, length);
        m_last.store(SteadyClock::now().time_since_epoch().count());
        return n;
    }
    SteadyClock::time_point LastWrite() const {
        return SteadyClock::time_point(SteadyClock::duration(m_last.load()));
    }

private:
    std::atomic<SteadyClock::rep> m_last{0};
};
