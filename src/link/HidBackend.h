// What the transport needs from a HID implementation: hidapi for the real device, the simulated
// processor, or a recording stand-in for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t kVendorId = 0x2010;
constexpr uint16_t kProductId = 0x1031;

struct HidDeviceInfo {
    std::string path;
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;
    // Every HID device present now.
    virtual std::vector<HidDeviceInfo> Enumerate() = 0;
    virtual bool Open(const std::string& path) = 0;
    // One input report into `buf`: bytes read, 0 when `timeoutMs` passed without one, -1 when the
    // device failed or is gone. Called by the reader thread only.
    virtual int Read(uint8_t* buf, size_t length, int timeoutMs) = 0;
    // One output report; bytes written or -1. Called under the transport's write lock.
    virtual int Write(const uint8_t* buf, size_t length) = 0;
    virtual void Close() = 0;
};
