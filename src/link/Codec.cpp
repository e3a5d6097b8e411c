#include "link/Codec.h"

#include "dsp/Encoding.h"
#include "link/Link.h"

#include <algorithm>
#include <cstring>

namespace {

Report NewReport(uint8_t code) {
    Report r{};
    r[0] = kReportId;
    r[1] = code;
    return r;
}

// Address, length and data as the memory and plug writes lay them out.
Report BuildAddressed(uint8_t code, int address, int length, const uint8_t* data) {
    Report r = NewReport(code);
    const int n = std::clamp(length, 0, static_cast<int>(kReportPayload));
    PutBE16(&r[2], static_cast<uint32_t>(address));
    r[4] = static_cast<uint8_t>(n);
    if (data && n > 0)
        std::memcpy(&r[5], data, n);
    return r;
}

} // namespace

// ---- Builders ------------------------------------------------------------------------------------

Report BuildCommand(uint8_t code, std::initializer_list<int> args) {
    Report r = NewReport(code);
    size_t at = 2;
    for (int a : args) {
        if (a == -1 || at >= kReportSize)
            break;
        r[at++] = static_cast<uint8_t>(a);
    }
    return r;
}

Report BuildParamValues(int block, int param, std::span<const uint32_t> values) {
    Report r = NewReport(CMD_SET_PARAM);
    const size_t n = std::min(values.size(), static_cast<size_t>(kMaxParamValues));
    r[3] = static_cast<uint8_t>(block);
    r[4] = static_cast<uint8_t>(param);
    r[5] = static_cast<uint8_t>(n);
    for (size_t i = 0; i < n; ++i)
        PutBE32(&r[6 + 4 * i], values[i]);
    return r;
}

Report BuildParam(int block, int param, uint32_t value, int count) {
    std::array<uint32_t, kMaxParamValues> values;
    values.fill(value);
    const size_t n = static_cast<size_t>(std::clamp(count, 0, kMaxParamValues));
    return BuildParamValues(block, param, std::span<const uint32_t>(values.data(), n));
}

Report BuildMemoryWrite(int address, int length, const uint8_t* data) {
    return BuildAddressed(CMD_MEM_WRITE, address, length, data);
}

Report BuildPlugWrite(int address, int length, const uint8_t* data) {
    return BuildAddressed(CMD_PLUG_WRITE, address, length, data);
}

Report BuildZWaveFrame(const uint8_t* data, int n) {
    Report r = NewReport(CMD_ZWAVE);
    n = std::clamp(n, 0, static_cast<int>(kReportSize) - 7); // data, then the checksum at 6 + n
    r[2] = static_cast<uint8_t>(n + 4);
    r[3] = 0x01; // start of frame
    r[4] = static_cast<uint8_t>(n + 2);
    r[5] = 0x00; // request
    uint8_t checksum = 0xFF ^ r[4] ^ r[5];
    for (int i = 0; i < n; ++i) {
        r[6 + i] = data[i];
        checksum ^= data[i];
    }
    r[6 + n] = checksum;
    return r;
}

// ---- Senders -----------------------------------------------------------------------------------

int SendCommand(uint8_t code, std::initializer_list<int> args) {
    return WriteUsbData(BuildCommand(code, args));
}

int SendParam(int block, int param, uint32_t value, int count) {
    return WriteUsbData(BuildParam(block, param, value, count));
}

int SendParamFloat(int block, int param, float value, int count) {
    return SendParam(block, param, FloatBits(value), count);
}

int SendParamValues(int block, int param, std::span<const uint32_t> values) {
    return WriteUsbData(BuildParamValues(block, param, values));
}

int SendParamFloats(int block, int param, std::span<const float> values) {
    std::array<uint32_t, kMaxParamValues> words{};
    const size_t n = std::min(values.size(), words.size());
    for (size_t i = 0; i < n; ++i)
        words[i] = FloatBits(values[i]);
    return SendParamValues(block, param, std::span<const uint32_t>(words.data(), n));
}

int WriteDeviceMemory(int address, int length, const uint8_t* data) {
    return WriteUsbData(BuildMemoryWrite(address, length, data));
}

int SendZWaveFrame(const uint8_t* data, int n) {
    return WriteUsbData(BuildZWaveFrame(data, n));
}

int WritePlugMemory(int address, int length, const uint8_t* data) {
    return WriteUsbData(BuildPlugWrite(address, length, data));
}

int ReadPlugMemory(int address, int length) {
    return SendCommand(CMD_PLUG_READ, {(address >> 8) & 0xFF, address & 0xFF, std::clamp(length, 0, 56)});
}
