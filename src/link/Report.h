// The 61-byte report exchanged with the processor, and its command codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kReportSize = 61;
constexpr uint8_t kReportId = 0x02;
constexpr size_t kReportPayload = kReportSize - 5; // data bytes after address and length (56)
constexpr int kMaxParamValues = 13;                // values that fit after the set-parameter header

using Report = std::array<uint8_t, kReportSize>;

enum : uint8_t {
    CMD_MODE_SET = 3,
    CMD_MODE_STORE = 4,
    CMD_MODE_LOAD = 5,
    CMD_MODE_FACTORY = 6,
    CMD_GET_MODE = 7,
    CMD_SET_PARAM = 9,
    CMD_GET_PARAM = 10,
    CMD_GET_LIVE = 14,
    CMD_ZWAVE = 18,
    CMD_PLUG_WRITE = 19,
    CMD_PLUG_READ = 20,
    CMD_LEARN_KEY = 96,
    CMD_LEARN_STOP = 97,
    CMD_GET_STATUS = 98,
    CMD_SET_REMOTE = 99,
    CMD_MACHINE_RESET = 104,
    CMD_DSP_VERSION = 126,
    CMD_GET_CMD_VERSION = 127,
    CMD_GET_MODEL = 128,
    CMD_GET_MCU_VERSION = 129,
    CMD_MEM_WRITE = 133,
    CMD_MEM_READ = 134,
    CMD_DISCONNECT = 138,
    CMD_SET_MACHINE = 145,
    CMD_GET_MACHINE = 146,
    CMD_IDENT_EXTRA = 149,
    CMD_MODE_NAME = 219,
};

inline void PutBE16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void PutBE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline uint32_t GetBE16(const uint8_t* p) {
    return (uint32_t(p[0]) << 8) | p[1];
}
inline uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
