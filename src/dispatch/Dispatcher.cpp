#include "dispatch/Dispatcher.h"

#include "link/Events.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "plugs/PlugModel.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<bool> s_bParamErrorShown{false};

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
        if (IsErasedMemoryReply(r)) {
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

bool IsErasedMemoryReply(const Report& r) {
    return r[1] == CMD_MEM_READ && GetBE16(&r[2]) < kImageSize && r[5] == 0xFF && r[6] == 0xFF;
}

void ResetParamErrorShown() {
    s_bParamErrorShown = false;
}

namespace {

// Applies one report; returns the regions of the store it touched.
uint32_t ApplyReport(const Report& r) {
    switch (r[1]) {
    case CMD_GET_PARAM: {
        if (r[2] != 0 && !s_bParamErrorShown.exchange(true)) {
            DebugText(FormatParamError(r[2], r[3], r[4]) + "\n");
            if (IConsoleEvents* sink = GetConsoleEvents())
                sink->OnParamError(r[2], r[3], r[4]);
        }
        DecodeParamReport(r.data());
        return STORE_PARAMS;
    }
    case CMD_GET_LIVE: {
        auto lock = LockStore();
        std::copy_n(&r[2], g_Param.byLiveStatus.size(), g_Param.byLiveStatus.begin());
        return STORE_LIVE;
    }
    case CMD_SET_PARAM: {
        auto lock = LockStore();
        g_Param.bModified = 1;
        return STORE_MODIFIED;
    }
    case CMD_ZWAVE:
        HandleZWaveReport(r);
        return STORE_PLUGS;
    case CMD_PLUG_READ:
        ZWaveReadMemFunc(r);
        return STORE_PLUGS;
    case CMD_GET_MODE: {
        auto lock = LockStore();
        g_Param.nCurMode = r[2];
        return STORE_MODES;
    }
    case CMD_GET_CMD_VERSION: {
        auto lock = LockStore();
        g_Device.nCmdVersion = r[2];
        return STORE_IDENTITY;
    }
    case CMD_GET_MODEL: {
        auto lock = LockStore();
        CopyAscii(g_Device.szModel, r);
        return STORE_IDENTITY;
    }
    case CMD_GET_MCU_VERSION: {
        auto lock = LockStore();
        CopyAscii(g_Device.szMcuVersion, r);
        return STORE_IDENTITY;
    }
    case CMD_DSP_VERSION: {
        auto lock = LockStore();
        CopyAscii(g_Device.szDspVersion, r);
        return STORE_IDENTITY;
    }
    case CMD_MEM_READ: {
        auto lock = LockStore();
        ApplyMemoryReply(r);
        return STORE_IMAGE;
    }
    case CMD_LEARN_KEY: {
        const int key = r[3];
        if (key < 1 || key >= kRemoteKeyBytes)
            return 0; // no such key: nothing learned
        {
            auto lock = LockStore();
            g_Status.byRemoteKey[0] = r[2];
            g_Status.byRemoteKey[key] = r[4];
        }
        if (IConsoleEvents* sink = GetConsoleEvents())
            sink->OnKeyLearned(r[4]);
        return STORE_STATUS;
    }
    case CMD_GET_STATUS: {
        auto lock = LockStore();
        std::copy_n(&r[2], 16, g_Status.byRemoteKey.begin());
        return STORE_STATUS;
    }
    case CMD_GET_MACHINE: {
        auto lock = LockStore();
        std::copy_n(&r[2], kMachineBytes, g_Status.byMachine.begin());
        std::copy_n(&r[2], kMachineBytes, g_Status.byMachineEdit.begin());
        return STORE_STATUS;
    }
    case CMD_MODE_NAME: {
        auto lock = LockStore();
        ApplyModeName(r);
        return STORE_MODES;
    }
    default:
        return 0; // codes the console does not use
    }
}

} // namespace

void HandleReport(const Report& report) {
    if (const uint32_t regions = ApplyReport(report))
        RaiseStoreChanged(regions);
}

void OnLinkOpened() {
    {
        auto lock = LockStore();
        g_Param.bConnected = 1;
    }
    RaiseStoreChanged(STORE_CONNECTION);
}

void OnLinkClosed() {
    {
        auto lock = LockStore();
        g_Param.byLiveStatus.fill(0);
        g_Param.bConnected = 0;
    }
    RaiseStoreChanged(STORE_CONNECTION | STORE_LIVE);
}

LinkHandlers DispatchHandlers() {
    return LinkHandlers{HandleReport, OnLinkOpened, OnLinkClosed};
}
