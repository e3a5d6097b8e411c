#include "sim/SimBackend.h"

#include "dsp/Encoding.h"
#include "link/Codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Codes the console decodes when they arrive; garbage keeps away from them unless told otherwise, so
// that by default it tests robustness without rewriting the console's state.
constexpr uint8_t kDecodedCodes[] = {CMD_GET_MODE,    CMD_SET_PARAM,       CMD_GET_PARAM, CMD_GET_LIVE,
                                     CMD_ZWAVE,       CMD_PLUG_READ,       CMD_LEARN_KEY, CMD_GET_STATUS,
                                     CMD_DSP_VERSION, CMD_GET_CMD_VERSION, CMD_GET_MODEL, CMD_GET_MCU_VERSION,
                                     CMD_MEM_READ,    CMD_GET_MACHINE,     CMD_MODE_NAME};

bool Decoded(uint8_t code) {
    return std::find(std::begin(kDecodedCodes), std::end(kDecodedCodes), code) != std::end(kDecodedCodes);
}

bool IsPlugCode(uint8_t code) {
    return code == CMD_ZWAVE || code == CMD_PLUG_READ || code == CMD_PLUG_WRITE;
}

// A Z-Wave transmission the node acknowledged: the controller's callback frame 0x13 with status 0.
bool TransmissionDone(const Report& r) {
    return r[1] == CMD_ZWAVE && r[3] == 0x01 && r[5] == 0x00 && r[6] == 0x13 && r[8] == 0x00;
}

} // namespace

CSimBackend::~CSimBackend() {
    {
        std::lock_guard lock(m_mutex);
        m_bStopTimer = true;
    }
    m_timerCv.notify_all();
    if (m_timer.joinable())
        m_timer.join();
}

std::vector<HidDeviceInfo> CSimBackend::Enumerate() {
    std::lock_guard lock(m_mutex);
    std::vector<HidDeviceInfo> list;
    if (m_bForeign)
        list.push_back({kSimForeignPath, kSimForeignVendorId, kSimForeignProductId});
    if (m_bPlugged)
        list.push_back({kSimDevicePath, kVendorId, kProductId});
    return list;
}

bool CSimBackend::Open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (path == kSimDevicePath && m_bPlugged)
        m_opened = Opened::Ours;
    else if (path == kSimForeignPath && m_bForeign)
        m_opened = Opened::Foreign;
    else
        return false;
    m_queue.clear();
    m_cv.notify_all();
    return true;
}

void CSimBackend::Close() {
    std::lock_guard lock(m_mutex);
    m_opened = Opened::None;
    m_queue.clear();
    m_cv.notify_all();
}

int CSimBackend::Read(uint8_t* buf, size_t length, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (m_opened == Opened::None)
            return -1;
        const auto now = Clock::now();
        if (!m_queue.empty() && m_queue.front().at <= now) {
            const Report r = m_queue.front().report;
            m_queue.pop_front();
            ++m_counters.nDelivered;
            const size_t n = std::min(length, kReportSize);
            std::memcpy(buf, r.data(), n);
            return static_cast<int>(n);
        }
        if (timeoutMs >= 0 && now >= deadline)
            return 0;
        if (m_queue.empty()) {
            if (timeoutMs < 0)
                m_cv.wait(lock);
            else
                m_cv.wait_until(lock, deadline);
        } else {
            // A reply still held back by latency.
            auto until = m_queue.front().at;
            if (timeoutMs >= 0)
                until = std::min(until, deadline);
            m_cv.wait_until(lock, until);
        }
    }
}

int CSimBackend::Write(const uint8_t* buf, size_t length) {
    std::unique_lock lock(m_mutex);
    if (m_opened == Opened::None || length == 0)
        return -1;
    const size_t n = std::min(length, kReportSize);
    if (m_opened == Opened::Foreign)
        return static_cast<int>(n);

    Report in{};
    std::memcpy(in.data(), buf, n);
    ++m_counters.nReceived[in[1]];
    ++m_counters.nReceivedTotal;
    ++m_nSinceFaults;
    if (in[1] == CMD_GET_MODEL)
        ++m_nModelAsks;
    const bool modeWaited = m_proc.ZWaveModeWaiting();
    std::vector<Report> replies = m_proc.Handle(in);
    if (replies.empty())
        ++m_counters.nUnanswered;
    AfterWriteLocked(in, modeWaited, replies);
    if (m_faults.nUnplugAfter > 0 && m_nSinceFaults >= static_cast<uint64_t>(m_faults.nUnplugAfter)) {
        // The report got through; its answer goes with the cable. One cable, pulled once.
        m_faults.nUnplugAfter = 0;
        if (m_faults.nReplugAfterMs > 0)
            Schedule(Timed::Replug, m_faults.nReplugAfterMs);
        const bool pulled = UnplugLocked();
        lock.unlock();
        if (pulled)
            NotifyCable(false);
        return static_cast<int>(n);
    }
    Deliver(replies, IsPlugCode(in[1]));
    return static_cast<int>(n);
}

// The faults that act on what a report started: a key pressed later for a learning request, a late
// button for an inclusion or exclusion, a node report a while after a transmission.
void CSimBackend::AfterWriteLocked(const Report& in, bool modeWaited, const std::vector<Report>& replies) {
    if (in[1] == CMD_LEARN_KEY && m_faults.nLearnKeyAfterMs > 0 && m_proc.IsLearning())
        Schedule(Timed::LearnKey, m_faults.nLearnKeyAfterMs,
                 static_cast<uint8_t>(kSimLearnedCodeBase + in[2]));
    if (in[1] != CMD_ZWAVE)
        return;
    if (m_faults.nLateButtonMs > 0 && !modeWaited && m_proc.ZWaveModeWaiting())
        Schedule(Timed::PlugButton, m_faults.nLateButtonMs);
    // The node reports once the console's wait dialog is up.
    if (m_faults.nPlugReport && std::any_of(replies.begin(), replies.end(), TransmissionDone))
        Schedule(Timed::PlugReport, kSimPlugReportMs, in[7]);
}

void CSimBackend::Schedule(Timed::Kind kind, int ms, uint8_t arg) {
    m_timed.push_back({kind, Clock::now() + std::chrono::milliseconds(ms), arg});
    if (!m_timer.joinable())
        m_timer = std::thread([this] { TimerLoop(); });
    m_timerCv.notify_all();
}

void CSimBackend::TimerLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_bStopTimer) {
        if (m_timed.empty()) {
            m_timerCv.wait(lock);
            continue;
        }
        const auto next = std::min_element(m_timed.begin(), m_timed.end(),
                                           [](const Timed& a, const Timed& b) { return a.at < b.at; });
        if (Clock::now() < next->at) {
            m_timerCv.wait_until(lock, next->at);
            continue;
        }
        const Timed t = *next;
        m_timed.erase(next);
        if (t.kind == Timed::Replug) {
            const bool back = !m_bPlugged;
            m_bPlugged = true;
            lock.unlock();
            if (back)
                NotifyCable(true);
            lock.lock();
        } else if (t.kind == Timed::LearnKey) {
            // Nothing when the request was cancelled meanwhile.
            if (const std::optional<Report> r = m_proc.PressKey(t.nArg); r && m_opened == Opened::Ours)
                Deliver({*r});
        } else if (t.kind == Timed::Drift) {
            DriftLocked();
        } else if (t.kind == Timed::PlugButton) {
            const std::vector<Report> frames = m_proc.PressPlugButton();
            if (m_opened == Opened::Ours)
                Deliver(frames, true);
        } else if (m_opened == Opened::Ours && m_faults.nPlugReport) {
            Deliver({CSimProcessor::ZWaveRequest(
                        {0x04, 0x00, t.nArg, 3, 0x20, 0x03, static_cast<uint8_t>(m_faults.nPlugReport)})},
                    true);
        }
    }
}

// The processor's own hands: it takes the changes as the console would send them, but nobody is told.
void CSimBackend::DriftLocked() {
    constexpr int kMusicVolumeBlock = 4, kMusicVolumeParam = 12, kMusicEqBand1 = 336;
    const std::vector<uint32_t> words = m_proc.Param(kMusicVolumeBlock, kMusicVolumeParam);
    float volume = 0;
    if (!words.empty())
        std::memcpy(&volume, &words[0], sizeof volume);
    const int percent = (static_cast<int>(std::lround(volume * 100)) + 10) % 100;
    const float sent = EncodeVolumePlus(percent);
    uint32_t bits;
    std::memcpy(&bits, &sent, sizeof bits);
    m_proc.Handle(BuildParam(kMusicVolumeBlock, kMusicVolumeParam, bits, 1));
    BandValues band = DecodeBandRecord(&m_proc.Current().mem[kMusicEqBand1]);
    band.fGain = band.fGain > 9 ? -6.0f : band.fGain + 3.0f;
    const BandRecordBytes record =
        EncodeBandRecord(band.fGain, band.fFreq, band.fQ, band.nType < 0 ? 1 : band.nType);
    m_proc.Handle(BuildMemoryWrite(kMusicEqBand1, kBandRecordSize, record.data()));
}

void CSimBackend::SetCableWatch(std::function<void(bool plugged)> watch) {
    std::lock_guard lock(m_watchMutex);
    m_watch = std::move(watch);
}

void CSimBackend::NotifyCable(bool plugged) {
    std::lock_guard lock(m_watchMutex);
    if (m_watch)
        m_watch(plugged);
}

void CSimBackend::Deliver(const std::vector<Report>& replies, bool plugTraffic) {
    for (Report r : replies) {
        ++m_counters.nReplies;
        ++m_nReplyCount;
        bool lost = m_faults.bSilent;
        if (!lost && m_faults.nDropEvery > 0 &&
            m_nReplyCount % static_cast<uint64_t>(m_faults.nDropEvery) == 0)
            lost = true;
        // mt19937's sequence is fixed by the standard, so a seed gives the same drops everywhere.
        if (!lost && m_faults.fDropProbability > 0.0 &&
            (m_rng() >> 8) * (1.0 / 16777216.0) < m_faults.fDropProbability)
            lost = true;
        if (lost) {
            ++m_counters.nDropped;
        } else {
            ApplyFaults(r);
            Queue(r);
        }
        if (!m_faults.bSilent && m_faults.nGarbageEvery > 0 &&
            m_nReplyCount % static_cast<uint64_t>(m_faults.nGarbageEvery) == 0) {
            Queue(Garbage());
            ++m_counters.nGarbage;
        }
        if (plugTraffic && !m_faults.bSilent && m_faults.nPlugGarbageEvery > 0 &&
            ++m_nPlugReplies % static_cast<uint64_t>(m_faults.nPlugGarbageEvery) == 0) {
            Queue(Garbage(true));
            ++m_counters.nGarbage;
        }
    }
    m_cv.notify_all();
}

void CSimBackend::ApplyFaults(Report& r) {
    switch (r[1]) {
    case CMD_GET_MODEL:
        if (m_faults.bWrongModel || (m_faults.bModelOnSecondAttempt && m_nModelAsks == 1)) {
            std::fill(r.begin() + 2, r.end(), 0);
            std::memcpy(&r[2], kSimWrongModel, std::strlen(kSimWrongModel));
        }
        break;
    case CMD_GET_CMD_VERSION:
        if (m_faults.nCmdVersion)
            r[2] = static_cast<uint8_t>(m_faults.nCmdVersion);
        break;
    case CMD_MEM_READ:
        if (m_faults.bErasedMemory)
            std::fill_n(r.begin() + 5, std::min<size_t>(r[4], kReportPayload), 0xFF);
        break;
    default:
        break;
    }
}

// Read hands out only the front, so replies keep their order even when the latency is lowered meanwhile.
void CSimBackend::Queue(const Report& report) {
    m_queue.push_back({report, Clock::now() + std::chrono::milliseconds(std::max(m_faults.nLatencyMs, 0))});
}

// Plug garbage carries the codes of plug traffic, so that it reaches the plug decoders.
Report CSimBackend::Garbage(bool plugCodes) {
    Report r{};
    r[0] = kReportId;
    uint8_t code = 0;
    if (plugCodes)
        code = m_rng() % 2 ? CMD_ZWAVE : CMD_PLUG_READ;
    else
        do
            code = static_cast<uint8_t>(m_rng());
        while (!m_faults.bGarbageAnyCode && Decoded(code));
    r[1] = code;
    for (size_t i = 2; i < kReportSize; ++i)
        r[i] = static_cast<uint8_t>(m_rng());
    return r;
}

bool CSimBackend::UnplugLocked() {
    const bool was = m_bPlugged;
    m_bPlugged = false;
    if (m_opened == Opened::Ours)
        m_opened = Opened::None;
    m_queue.clear();
    m_cv.notify_all();
    return was;
}

void CSimBackend::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(m_mutex);
    // The plug hooks follow the faults, leaving alone what a test set on the processor itself.
    if (m_faults.nSilentPlug)
        m_proc.SetNodeSilent(m_faults.nSilentPlug, false);
    if (faults.nSilentPlug)
        m_proc.SetNodeSilent(faults.nSilentPlug, true);
    if ((m_faults.nLateButtonMs > 0) != (faults.nLateButtonMs > 0))
        m_proc.SetHoldForButton(faults.nLateButtonMs > 0);
    m_faults = faults;
    m_rng.seed(faults.nSeed);
    m_nSinceFaults = 0;
    m_nModelAsks = 0;
    m_nReplyCount = 0;
    m_nPlugReplies = 0;
    if (faults.nDriftAfterMs > 0)
        Schedule(Timed::Drift, faults.nDriftAfterMs);
}

SimFaults CSimBackend::Faults() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

SimCounters CSimBackend::Counters() const {
    std::lock_guard lock(m_mutex);
    return m_counters;
}

void CSimBackend::ResetCounters() {
    std::lock_guard lock(m_mutex);
    m_counters = SimCounters{};
}

void CSimBackend::Unplug() {
    std::unique_lock lock(m_mutex);
    const bool pulled = UnplugLocked();
    lock.unlock();
    if (pulled)
        NotifyCable(false);
}

void CSimBackend::Plug() {
    std::unique_lock lock(m_mutex);
    const bool back = !m_bPlugged;
    m_bPlugged = true;
    lock.unlock();
    if (back)
        NotifyCable(true);
}

bool CSimBackend::IsPlugged() const {
    std::lock_guard lock(m_mutex);
    return m_bPlugged;
}

void CSimBackend::ShowForeignDevice(bool show) {
    std::lock_guard lock(m_mutex);
    m_bForeign = show;
    if (!show && m_opened == Opened::Foreign)
        m_opened = Opened::None;
}

bool CSimBackend::PressKey(uint8_t code) {
    std::lock_guard lock(m_mutex);
    const std::optional<Report> r = m_proc.PressKey(code);
    if (!r)
        return false;
    if (m_opened == Opened::Ours)
        Deliver({*r});
    return true;
}

void CSimBackend::InjectZWave(const std::vector<uint8_t>& data) {
    std::lock_guard lock(m_mutex);
    if (m_opened == Opened::Ours)
        Deliver({CSimProcessor::ZWaveRequest(data)}, true);
}

bool CSimBackend::PressPlugButton(int id, uint8_t kind) {
    std::lock_guard lock(m_mutex);
    const std::vector<Report> frames = m_proc.PressPlugButton(id, kind);
    if (m_opened == Opened::Ours)
        Deliver(frames, true);
    return !frames.empty() && frames[0][8] != 0x07;
}

bool CSimBackend::SaveState(const std::string& path, std::string& error) const {
    std::lock_guard lock(m_mutex);
    return m_proc.SaveState(path, error);
}

bool CSimBackend::LoadState(const std::string& path, std::string& error) {
    std::lock_guard lock(m_mutex);
    return m_proc.LoadState(path, error);
}
