#include "sim/SimBackend.h"

#include <algorithm>
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

} // namespace

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
    std::lock_guard lock(m_mutex);
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
    const std::vector<Report> replies = m_proc.Handle(in);
    if (replies.empty())
        ++m_counters.nUnanswered;
    if (m_faults.nUnplugAfter > 0 && m_nSinceFaults >= static_cast<uint64_t>(m_faults.nUnplugAfter)) {
        // The report got through; its answer goes with the cable. One cable, pulled once.
        m_faults.nUnplugAfter = 0;
        UnplugLocked();
        return static_cast<int>(n);
    }
    Deliver(replies);
    return static_cast<int>(n);
}

void CSimBackend::Deliver(const std::vector<Report>& replies) {
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

Report CSimBackend::Garbage() {
    Report r{};
    r[0] = kReportId;
    uint8_t code = 0;
    do
        code = static_cast<uint8_t>(m_rng());
    while (!m_faults.bGarbageAnyCode && Decoded(code));
    r[1] = code;
    for (size_t i = 2; i < kReportSize; ++i)
        r[i] = static_cast<uint8_t>(m_rng());
    return r;
}

void CSimBackend::UnplugLocked() {
    m_bPlugged = false;
    if (m_opened == Opened::Ours)
        m_opened = Opened::None;
    m_queue.clear();
    m_cv.notify_all();
}

void CSimBackend::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
    m_rng.seed(faults.nSeed);
    m_nSinceFaults = 0;
    m_nModelAsks = 0;
    m_nReplyCount = 0;
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
    std::lock_guard lock(m_mutex);
    UnplugLocked();
}

void CSimBackend::Plug() {
    std::lock_guard lock(m_mutex);
    m_bPlugged = true;
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
        Deliver({CSimProcessor::ZWaveRequest(data)});
}

bool CSimBackend::PressPlugButton(int id, uint8_t kind) {
    std::lock_guard lock(m_mutex);
    const std::vector<Report> frames = m_proc.PressPlugButton(id, kind);
    if (m_opened == Opened::Ours)
        Deliver(frames);
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
