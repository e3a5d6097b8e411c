#include "link/hidapi/HidapiBackend.h"

#include <hidapi.h>

CHidapiBackend::CHidapiBackend() {
    hid_init();
}

CHidapiBackend::~CHidapiBackend() {
    Close();
    hid_exit();
}

std::vector<HidDeviceInfo> CHidapiBackend::Enumerate() {
    std::vector<HidDeviceInfo> out;
    hid_device_info* list = hid_enumerate(kVendorId, kProductId);
    for (hid_device_info* d = list; d; d = d->next)
        out.push_back({d->path ? d->path : "", d->vendor_id, d->product_id});
    hid_free_enumeration(list);
    return out;
}

bool CHidapiBackend::Open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (m_pDevice)
        return false;
    m_pDevice = hid_open_path(path.c_str());
    return m_pDevice != nullptr;
}

int CHidapiBackend::Read(uint8_t* buf, size_t length, int timeoutMs) {
    hid_device* dev;
    {
        std::lock_guard lock(m_mutex);
        dev = m_pDevice;
    }
    if (!dev)
        return -1;
    // Input reports carry no report id here: the 61 bytes arrive as they are.
    return hid_read_timeout(dev, buf, length, timeoutMs);
}

int CHidapiBackend::Write(const uint8_t* buf, size_t length) {
    std::lock_guard lock(m_mutex);
    if (!m_pDevice)
        return -1;
    // Byte 0 is the report id 0x02, which hid_write takes as the first byte.
    return hid_write(m_pDevice, buf, length);
}

void CHidapiBackend::Close() {
    std::lock_guard lock(m_mutex);
    if (m_pDevice)
        hid_close(m_pDevice);
    m_pDevice = nullptr;
}
