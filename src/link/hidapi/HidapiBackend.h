// The real device through hidapi (hidraw on Linux).
#pragma once

#include "link/HidBackend.h"

#include <mutex>

struct hid_device_;

class CHidapiBackend : public IHidBackend {
public:
    CHidapiBackend();
    ~CHidapiBackend() override;
    std::vector<HidDeviceInfo> Enumerate() override;
    bool Open(const std::string& path) override;
    int Read(uint8_t* buf, size_t length, int timeoutMs) override;
    int Write(const uint8_t* buf, size_t length) override;
    void Close() override;

private:
    std::mutex m_mutex; // guards the handle between open/close and the reader
    hid_device_* m_pDevice = nullptr;
};
