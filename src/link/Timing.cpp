#include "link/Timing.h"

#include <atomic>
#include <thread>

namespace {
std::atomic<double> s_scale{1.0};
}

void SetSettleScale(double scale) {
    s_scale = scale < 0 ? 0 : scale;
}
double SettleScale() {
    return s_scale;
}

std::chrono::milliseconds Settle(std::chrono::milliseconds delay) {
    return std::chrono::milliseconds(
        static_cast<long long>(static_cast<double>(delay.count()) * s_scale + 0.5));
}

void SettleSleep(std::chrono::milliseconds delay) {
    const auto d = Settle(delay);
    if (d.count() > 0)
        std::this_thread::sleep_for(d);
}
