#include "link/Events.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {
std::atomic<IConsoleEvents*> s_pEvents{nullptr};
}

void SetConsoleEvents(IConsoleEvents* events) {
    s_pEvents.store(events);
}
IConsoleEvents* GetConsoleEvents() {
    return s_pEvents.load();
}

void RaiseStoreChanged(uint32_t regions) {
    if (IConsoleEvents* sink = s_pEvents.load())
        sink->OnStoreChanged(regions);
}

void DebugText(const std::string& text) {
    static const bool enabled = std::getenv("M7Q_DEBUG") != nullptr;
    if (enabled)
        std::fputs(text.c_str(), stderr);
}

std::string FormatParamError(uint8_t code, uint8_t block, uint8_t param) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "参数错误,代码0x:%02X,指令1:0x%02X,指令2:0x%02X ", code, block, param);
    return buf;
}
