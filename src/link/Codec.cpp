#include "link/Codec.h"

#include "link/Events.h"
#include "link/Link.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "plugs/PlugModel.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<bool> s_bParamErrorShown{false};

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

template <size_t N> void CopyAscii(std::array<char16_t, N>& target, const Report& r) {
    target.fill(0);
    for (size_t i = 0; i + 1 < N && 2 + i < kReportSize && r[2 + i]; ++i)
        target[i] = r[2 + i];
}

void ApplyMemoryReply(const Report& r) {
    const int address = static_cast<int>(GetBE16(&r[2]));
    const int length = std::min<int>(r[4], kReportPayload);
    const uint8_t* data = &r[5];
    auto copy = [&](uint8_t* target, int capacity) { std::memcpy(target, data, std::min(length, capacity)); };
    if (address < kImageSize) {
        if (data[0] == 0xFF && data[1] == 0xFF) {
            g_Param.byImage.fill(0); // erased processor memory
            return;
        }
        copy(&g_Param.byImage[address], kImageSize - address);
    } else if (address == ADDR_SURROUND_LEVELS) {
        copy(g_Param.bySurroundLevels.data(), kSurroundLevelsSize);
    } else if (address == ADDR_SOUND_FIELD) {
        copy(g_bySoundFieldBytes.data(), kSoundFieldSize);
        DecodeSoundFieldBlock();
    } else if (address == ADDR_MIC_BOOST) {
        copy(g_Param.byMicBoostBytes.data(), kMicBoostSize);
    }
}

void ApplyModeName(const Report& r) {
    int mode;
    switch (GetBE16(&r[2])) {
    case 0x0F00:
        mode = 0;
        break;
    case 0x0F40:
        mode = 1;
        break;
    case 0x0F80:
        mode = 2;
        break;
    case 0x0FC0:
        mode = 3;
        break;
    default:
        return;
    }
    if (r[5] == 0xFF && r[6] == 0xFF && r[7] == 0xFF && r[8] == 0xFF)
        return; // erased name
    auto& name = g_Device.szModeName[mode];
    name.fill(0);
    size_t units = 0;
    for (int i = 0; i < r[4] && 6 + i < static_cast<int>(kReportSize) && units + 1 < name.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>((r[5 + i] << 8) | r[6 + i]);
        if (unit == 0)
            break;
        name[units++] = unit;
    }
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

// ---- Dispatcher --------------------------------------------------------------------------------

void ResetParamErrorShown() {
    s_bParamErrorShown = false;
}

void HandleReport(const Report& r) {
    switch (r[1]) {
    case CMD_GET_PARAM: {
        if (r[2] != 0 && !s_bParamErrorShown.exchange(true)) {
            DebugText(FormatParamError(r[2], r[3], r[4]) + "\n");
            if (IConsoleEvents* sink = GetConsoleEvents())
                sink->OnParamError(r[2], r[3], r[4]);
        }
        DecodeParamReport(r.data());
        return;
    }
    case CMD_GET_LIVE: {
        auto lock = LockStore();
        std::copy_n(&r[2], g_Param.byLiveStatus.size(), g_Param.byLiveStatus.begin());
        return;
    }
    case CMD_SET_PARAM: {
        auto lock = LockStore();
        g_Param.bModified = 1;
        return;
    }
    case CMD_ZWAVE:
        HandleZWaveReport(r);
        return;
    case CMD_PLUG_READ:
        ZWaveReadMemFunc(r);
        return;
    case CMD_GET_MODE: {
        auto lock = LockStore();
        g_Param.nCurMode = r[2];
        return;
    }
    case CMD_GET_CMD_VERSION: {
        auto lock = LockStore();
        g_Device.nCmdVersion = r[2];
        return;
    }
    case CMD_GET_MODEL: {
        auto lock = LockStore();
        CopyAscii(g_Device.szModel, r);
        return;
    }
    case CMD_GET_MCU_VERSION: {
        auto lock = LockStore();
        CopyAscii(g_Device.szMcuVersion, r);
        return;
    }
    case CMD_DSP_VERSION: {
        auto lock = LockStore();
        CopyAscii(g_Device.szDspVersion, r);
        return;
    }
    case CMD_MEM_READ: {
        auto lock = LockStore();
        ApplyMemoryReply(r);
        return;
    }
    case CMD_LEARN_KEY: {
        const int key = r[3];
        if (key < 1 || key >= kRemoteKeyBytes)
            return; // no such key: nothing learned
        {
            auto lock = LockStore();
            g_Status.byRemoteKey[0] = r[2];
            g_Status.byRemoteKey[key] = r[4];
        }
        if (IConsoleEvents* sink = GetConsoleEvents())
            sink->OnKeyLearned(r[4]);
        return;
    }
    case CMD_GET_STATUS: {
        auto lock = LockStore();
        std::copy_n(&r[2], 16, g_Status.byRemoteKey.begin());
        return;
    }
    case CMD_GET_MACHINE: {
        auto lock = LockStore();
        std::copy_n(&r[2], kMachineBytes, g_Status.byMachine.begin());
        std::copy_n(&r[2], kMachineBytes, g_Status.byMachineEdit.begin());
        return;
    }
    case CMD_MODE_NAME: {
        auto lock = LockStore();
        ApplyModeName(r);
        return;
    }
    default:
        return; // codes the console does not use
    }
}
