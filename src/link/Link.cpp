#include "link/Link.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {
std::atomic<ILink*> s_pLink{nullptr};
thread_local bool t_bMergeable = false;
} // namespace

void SetLink(ILink* link) {
    s_pLink.store(link);
}
ILink* GetLink() {
    return s_pLink.load();
}

int WriteUsbData(const uint8_t* data, size_t length) {
    Report report{};
    std::memcpy(report.data(), data, std::min(length, kReportSize));
    return WriteUsbData(report);
}

int WriteUsbData(const Report& report) {
    ILink* link = s_pLink.load();
    return link ? link->WriteReport(report) : 0;
}

void LinkPause(std::chrono::milliseconds ms) {
    if (ILink* link = s_pLink.load())
        link->Pause(ms);
}

CMergeableEdits::CMergeableEdits() : m_bWas(t_bMergeable) {
    t_bMergeable = true;
}
CMergeableEdits::~CMergeableEdits() {
    t_bMergeable = m_bWas;
}
bool CMergeableEdits::Active() {
    return t_bMergeable;
}

CStepByStepEdits::CStepByStepEdits() : m_bWas(t_bMergeable) {
    t_bMergeable = false;
}
CStepByStepEdits::~CStepByStepEdits() {
    t_bMergeable = m_bWas;
}

int CRecordingLink::WriteReport(const Report& report) {
    std::lock_guard lock(m_mutex);
    m_entries.push_back({report, -1, CMergeableEdits::Active()});
    return nResult;
}

void CRecordingLink::Pause(std::chrono::milliseconds ms) {
    std::lock_guard lock(m_mutex);
    m_entries.push_back({Report{}, static_cast<int>(ms.count()), false});
}

std::vector<Report> CRecordingLink::Reports() const {
    std::lock_guard lock(m_mutex);
    std::vector<Report> out;
    for (const auto& e : m_entries)
        if (e.nPauseMs < 0)
            out.push_back(e.report);
    return out;
}

std::vector<CRecordingLink::Entry> CRecordingLink::Entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

void CRecordingLink::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

size_t CRecordingLink::Count() const {
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(
        std::count_if(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.nPauseMs < 0; }));
}
