#include "sync/Sync.h"

#include "dsp/Encoding.h"
#include "link/Codec.h"
#include "link/Events.h"
#include "link/Timing.h"
#include "model/Compound.h"
#include "model/Diff.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "plugs/PlugModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

const char* const kTextWrongModel = "机器型号与软件不匹配!";
const char* const kTextWrongVersion = "机器与软件通信版本不匹配，请使用机器配套软件!";

namespace {

void ClearLiveStatus() {
    auto lock = LockStore();
    g_Param.byLiveStatus.fill(0);
}

int RequestParam(int block, int param, int count = 1) {
    return SendCommand(CMD_GET_PARAM, {0, block, param, count});
}

bool ModelMatches() {
    std::u16string model;
    {
        auto lock = LockStore();
        model = U16(g_Device.szModel.data(), kModelChars);
    }
    const std::string expected = kExpectedModel;
    if (model.size() != expected.size())
        return false;
    for (size_t i = 0; i < model.size(); ++i)
        if (model[i] > 0x7F || std::toupper(static_cast<int>(model[i])) != std::toupper(expected[i]))
            return false;
    return true;
}

int CmdVersion() {
    auto lock = LockStore();
    return g_Device.nCmdVersion;
}

int Slot(int slot) {
    auto lock = LockStore();
    return g_Param.nSetting[slot];
}

void TruncateFloatSlot(int slot) {
    SetSlotFloatBits(slot, std::trunc(SlotFloat(slot)));
}

void SendVolume(int block, int param, int percent) {
    SendParamFloat(block, param, EncodeVolumePlus(percent));
}

bool ReadsSlot(const Report& read, int slot) {
    const SlotRow& row = GetSlotRow(slot);
    return read[1] == CMD_GET_PARAM && read[3] == row.nBlock && read[4] == row.nParam[0];
}

// The shift switch's answer also marks the shift frequency off, so it has to be decoded after the
// frequency's: asking again for a frequency asks again for its switch after it.
bool MustFollow(const Report& later, const Report& earlier) {
    for (auto [shift, off] :
         {std::pair{SET_MIC_A_SHIFT, SET_MIC_A_SHIFT_OFF}, std::pair{SET_MIC_B_SHIFT, SET_MIC_B_SHIFT_OFF}})
        if (ReadsSlot(earlier, shift) && ReadsSlot(later, off))
            return true;
    return false;
}

} // namespace

CConnection::CConnection(CUsbLink& link) : m_link(link) {
    m_link.SetReceiveWatch([this](const Report& r) { NoteReceived(r); });
}

CConnection::~CConnection() {
    if (m_worker.joinable())
        m_worker.join();
    m_link.SetReceiveWatch(nullptr);
}

bool CConnection::Connect() {
    if (m_link.IsOpen())
        return false;
    if (!m_link.Open())
        return false;
    g_bPlugDataLoaded = 0; // a new connection reads the plug data again
    StartWorker(SyncKind::ReadAll, true);
    return true;
}

void CConnection::StartReadAll() {
    StartWorker(SyncKind::ReadAll);
}
void CConnection::StartWriteAll(int pendingMode) {
    m_nPendingFileMode = pendingMode;
    StartWorker(SyncKind::WriteAll);
}

void CConnection::WaitSync() {
    if (m_worker.joinable())
        m_worker.join();
}

void CConnection::StartWorker(SyncKind kind, bool bAfterRunning) {
    {
        std::lock_guard lock(m_workerMutex);
        if (m_bSyncRunning) {
            if (bAfterRunning)
                m_bReadAllQueued = true;
            else
                DebugText("SynchronizeData already running\n");
            return; // one bulk transfer at a time
        }
        m_bSyncRunning = true;
    }
    if (m_worker.joinable())
        m_worker.join();
    DebugText("Start thread:SynchronizeData\n");
    m_worker = std::thread([this, kind] {
        ClearLiveStatus();
        CPollToken suspended = SuspendPolling();
        for (SyncKind k = kind;; k = SyncKind::ReadAll) {
            if (k == SyncKind::ReadAll) {
                SettleSleep(timing::kReadAllStart);
                IdentifyAndReadAll();
            } else {
                SettleSleep(timing::kWriteAllStart);
                WriteAll();
            }
            std::lock_guard lock(m_workerMutex);
            if (!std::exchange(m_bReadAllQueued, false)) {
                m_bSyncRunning = false;
                break;
            }
        }
        if (IConsoleEvents* sink = GetConsoleEvents())
            sink->OnSyncFinished(static_cast<int>(kind));
        ClearLiveStatus();
        suspended.Release();
    });
}

void CConnection::IdentifyAndReadAll() {
    {
        std::lock_guard lock(m_readsMutex);
        m_reads.clear();
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        SendCommand(CMD_GET_MODEL);
        SendCommand(CMD_GET_CMD_VERSION);
        SendCommand(CMD_GET_MCU_VERSION);
        if (ModelMatches())
            break;
        if (attempt == 1)
            return;
    }
    if (CmdVersion() != kExpectedCmdVersion)
        return;
    SendCommand(CMD_GET_MODE);
    SendCommand(CMD_IDENT_EXTRA);

    for (int p = 4; p <= 15; ++p)
        ReadParam(MOD_MIC, p);
    for (int p = 26; p <= 37; ++p)
        ReadParam(MOD_MIC, p);
    for (int p = 49; p <= 56; ++p)
        ReadParam(MOD_MIC, p);
    for (int p : {26, 27, 7, 8, 9, 10, 11, 12, 20, 21, 22, 23, 24, 25})
        ReadParam(MOD_ECHO, p);
    ReadParam(MOD_REVERB, 24, 2);
    ReadParam(MOD_REVERB, 25, 2);
    for (int p : {7, 8, 9, 10, 11, 19, 20, 21, 22, 23})
        ReadParam(MOD_REVERB, p);
    ReadParam(MOD_MUSIC, 14, 7);
    for (int p : {11, 12, 13, 15, 16, 17, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 36, 37})
        ReadParam(MOD_MUSIC, p);
    for (int b = MOD_OUT1; b <= MOD_OUT8; ++b) {
        ReadParam(b, 17, 2);
        ReadParam(b, 27, 7);
    }
    for (int p : {15, 16, 18, 19, 20, 21, 22, 23, 24, 25, 26, 28})
        for (int b = MOD_OUT1; b <= MOD_OUT8; ++b)
            ReadParam(b, p);

    for (int i = 0; i * kImageChunk < kImageSize; ++i) {
        const int address = i * kImageChunk;
        const int length = std::min(kImageChunk, kImageSize - address);
        ReadMemory(address, length);
    }
    ReadMemory(ADDR_SURROUND_LEVELS, kSurroundLevelsSize);
    ReadMemory(ADDR_SOUND_FIELD, kSoundFieldSize);
    ReadMemory(ADDR_MIC_BOOST, kMicBoostSize);
    SendCommand(CMD_GET_MACHINE);
    SendCommand(CMD_GET_STATUS);
    m_link.AwaitReply(); // the last answer belongs to the read too
    {
        auto lock = LockStore();
        g_Param.bModified = 0;
    }
    SettleSleep(timing::kReadAllEnd);
}

void CConnection::ReadParam(int block, int param, int count) {
    Read(BuildCommand(CMD_GET_PARAM, {0, block, param, count}));
}

void CConnection::ReadMemory(int address, int length) {
    Read(BuildCommand(CMD_MEM_READ, {address >> 8, address & 0xFF, length}));
}

// Recorded before it goes out, since the answer may come before WriteUsbData returns.
void CConnection::Read(const Report& request) {
    {
        std::lock_guard lock(m_readsMutex);
        m_reads.push_back({request, false});
    }
    WriteUsbData(request);
}

// An answer names what it answers: block and parameter, or the memory address.
void CConnection::NoteReceived(const Report& r) {
    if (r[1] != CMD_GET_PARAM && r[1] != CMD_MEM_READ)
        return;
    const size_t at = r[1] == CMD_GET_PARAM ? 3 : 2;
    std::lock_guard lock(m_readsMutex);
    for (ReadRecord& read : m_reads) {
        if (!read.bAnswered && read.request[1] == r[1] && read.request[at] == r[at] &&
            read.request[at + 1] == r[at + 1]) {
            read.bAnswered = true;
            return;
        }
    }
}

std::vector<Report> CConnection::UnansweredReads() const {
    std::vector<Report> left;
    std::lock_guard lock(m_readsMutex);
    for (const ReadRecord& read : m_reads)
        if (!read.bAnswered)
            left.push_back(read.request);
    return left;
}

std::vector<Report> CConnection::AskAgain() {
    std::vector<Report> ask;
    {
        std::lock_guard lock(m_readsMutex);
        for (size_t i = 0; i < m_reads.size(); ++i)
            for (size_t j = i + 1; j < m_reads.size() && !m_reads[i].bAnswered; ++j)
                if (MustFollow(m_reads[j].request, m_reads[i].request))
                    m_reads[j].bAnswered = false;
        for (const ReadRecord& read : m_reads) // in the read-all's order
            if (!read.bAnswered)
                ask.push_back(read.request);
    }
    for (const Report& request : ask)
        WriteUsbData(request);
    m_link.AwaitReply();
    return UnansweredReads();
}

void CConnection::SendAllParameters(int volumeMode) {
    if (volumeMode == 1) {
        SendParamFloat(MOD_MIC, 14, 0.0f);
        SendParamFloat(MOD_MUSIC, 12, 0.0f);
    }
    // The parameter units come first in the write-all order; the image and the volumes follow apart.
    for (const SettingUnit& u : SettingUnits()) {
        if (u.kind == UnitKind::Band)
            break;
        if (u.kind == UnitKind::RoutePair) {
            auto lock = LockStore();
            const bool toA = g_Param.nSetting[SET_MIC_ROUTE_A + u.nIndex] != 0;
            g_Param.nSetting[SET_MIC_ROUTE_A + u.nIndex] = toA ? 100 : 0;
            g_Param.nSetting[SET_MIC_ROUTE_B + u.nIndex] = toA ? 0 : 100;
        }
        if (u.kind == UnitKind::Slot && (u.nIndex == SET_REVERB_A_TIME || u.nIndex == SET_REVERB_B_TIME ||
                                         u.nIndex == SET_ECHO_A_TIME || u.nIndex == SET_ECHO_B_TIME))
            TruncateFloatSlot(u.nIndex); // whole milliseconds; the 2 ms minimum follows when sent
        SendUnit(u);                     // the boost switch copies the slot into its twin first
    }
}

void CConnection::WriteAll() {
    int volumeMode;
    std::array<uint8_t, kImageSize> image;
    {
        auto lock = LockStore();
        volumeMode = g_Status.byMachine[0];
    }
    SendAllParameters(volumeMode);
    {
        auto lock = LockStore();
        image = g_Param.byImage;
    }
    for (int address = 0; address < kImageSize; address += kImageChunk)
        WriteDeviceMemory(address, std::min(kImageChunk, kImageSize - address), &image[address]);
    EncodeAndSendSoundFieldBlock();
    std::array<uint8_t, kSurroundLevelsSize> levels;
    {
        auto lock = LockStore();
        levels = g_Param.bySurroundLevels;
    }
    WriteDeviceMemory(ADDR_SURROUND_LEVELS, kSurroundLevelsSize, levels.data());
    const std::pair<int, int> groups[] = {{1, 20}, {2, 14}, {3, 14}, {4, 10}};
    for (auto [group, bands] : groups)
        for (int b = 0; b < bands; ++b)
            SendBandCoeffs(group, b);
    for (int g = MOD_OUT1; g <= MOD_OUT8; ++g)
        for (int b = 0; b <= 12; ++b)
            SendBandCoeffs(g, b);
    SendBandCoeffs(kEqGroupLpf, 0);

    if (volumeMode == 1) {
        const int mic = Slot(SET_MIC_VOLUME);
        if (mic < 80)
            SendVolume(MOD_MIC, 14, mic);
        else
            for (int v = 80; v <= mic; ++v)
                SendVolume(MOD_MIC, 14, v);
        const int music = Slot(SET_MUSIC_VOLUME);
        if (music < 70) {
            SendVolume(MOD_MUSIC, 12, music);
        } else {
            for (int v = 70; v <= music; ++v) {
                SendVolume(MOD_MUSIC, 12, v);
                SettleSleep(timing::kMusicRampStep);
            }
        }
    }
    RequestParam(MOD_MIC, 14);
    RequestParam(MOD_MUSIC, 12);
    m_link.AwaitReply();
    SettleSleep(timing::kWriteAllEnd);
    auto lock = LockStore();
    g_Param.bModified = 0;
}

std::string CConnection::OnSyncFinished() {
    std::string error;
    if (!ModelMatches()) {
        error = kTextWrongModel;
    } else if (CmdVersion() == kExpectedCmdVersion) {
        const int mode = m_nPendingFileMode.exchange(-1);
        if (mode >= 0 && mode < kModeCount) {
            {
                auto lock = LockStore();
                g_Param.nCurMode = mode;
            }
            SendCommand(CMD_MODE_SET, {mode});
            LinkPause(timing::kModeSetToStore);
            SendCommand(CMD_MODE_STORE, {mode});
        }
        LinkPause(timing::kSyncFinished);
        return {};
    } else {
        error = kTextWrongVersion;
    }
    Disconnect();
    return error;
}

void CConnection::LoadMode(int n) {
    Recall(CMD_MODE_LOAD, n);
}

void CConnection::StoreMode(int n) {
    if (!m_link.IsOpen())
        return;
    n = std::clamp(n, 0, kModeCount - 1);
    {
        auto lock = LockStore();
        g_Param.bModified = 0;
        g_Param.nCurMode = n;
    }
    SendCommand(CMD_MODE_STORE, {n});
}

void CConnection::FactoryMode(int n) {
    Recall(CMD_MODE_FACTORY, n);
}

// A load or factory recall makes mode n current on the processor; then everything is read back.
void CConnection::Recall(uint8_t command, int n) {
    if (!m_link.IsOpen())
        return;
    n = std::clamp(n, 0, kModeCount - 1);
    {
        auto lock = LockStore();
        g_Param.nCurMode = n;
    }
    SendCommand(command, {n});
    StartReadAll();
}

bool CConnection::LivePollAllowed() const {
    return !m_pollGate.Suspended() && !m_link.ReaderEnded();
}

void CConnection::LivePollTick() {
    if (LivePollAllowed() && m_bPeakPoll && m_link.IsOpen())
        SendCommand(CMD_GET_LIVE);
}

bool CConnection::OnRemoval(const std::string& path) {
    DebugText("removed!\n");
    if (!m_link.IsOpen() || !m_link.IsRemovalOf(path))
        return false;
    m_link.Close();
    return true;
}

void CConnection::Disconnect() {
    if (!m_link.IsOpen())
        return;
    ClearLiveStatus();
    m_link.Flush();
    m_link.WriteUsbDataNow(BuildCommand(CMD_DISCONNECT, {}));
    m_link.Close();
}

void CConnection::MachineReset() {
    if (m_link.IsOpen())
        SendCommand(CMD_MACHINE_RESET, {0xAA});
}
