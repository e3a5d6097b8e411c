#include "link/Transport.h"

#include "link/Events.h"
#include "link/Timing.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {
thread_local bool t_bPostWrites = false;

// Writes that set a target whole, so that a later one to the same target makes an earlier one moot.
bool HasMergeTarget(const Report& r) {
    return r[1] == CMD_SET_PARAM || r[1] == CMD_MEM_WRITE;
}

// Code, block, parameter and value count; or code, address and length.
bool SameTarget(const Report& a, const Report& b) {
    const size_t header = a[1] == CMD_SET_PARAM ? 6 : 5;
    return std::equal(a.begin() + 1, a.begin() + header, b.begin() + 1);
}
} // namespace

void CAutoEvent::Set() {
    {
        std::lock_guard lock(m_mutex);
        m_bSignalled = true;
    }
    m_cv.notify_one();
}

void CAutoEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_bSignalled = false;
}

bool CAutoEvent::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    const bool signalled = m_cv.wait_for(lock, timeout, [this] { return m_bSignalled; });
    m_bSignalled = false;
    return signalled;
}

CUsbLink::CUsbLink(IHidBackend& backend, LinkHandlers handlers)
    : m_backend(backend), m_handlers(std::move(handlers)) {
    m_writer = std::thread([this] { WriterLoop(); });
}

CUsbLink::~CUsbLink() {
    Close();
    {
        std::lock_guard lock(m_queueMutex);
        m_bStopWriter = true;
    }
    m_queueCv.notify_all();
    m_writer.join();
}

void CUsbLink::PostWritesFromThisThread(bool post) {
    t_bPostWrites = post;
}

void CUsbLink::SetTrace(ReportTrace trace) {
    std::lock_guard lock(m_traceMutex);
    m_trace = std::move(trace);
}

void CUsbLink::SetReceiveWatch(std::function<void(const Report&)> watch) {
    std::lock_guard lock(m_watchMutex);
    m_watch = std::move(watch);
}

void CUsbLink::Trace(char direction, const Report& report) {
    std::lock_guard lock(m_traceMutex);
    if (m_trace)
        m_trace(direction, report);
}

std::string CUsbLink::DevicePath() const {
    std::lock_guard lock(m_pathMutex);
    return m_strDevicePath;
}

bool CUsbLink::IsRemovalOf(const std::string& path) const {
    std::lock_guard lock(m_pathMutex);
    return !m_strDevicePath.empty() && std::equal(path.begin(), path.end(), m_strDevicePath.begin(),
                                                  m_strDevicePath.end(), [](char a, char b) {
                                                      return std::tolower(static_cast<unsigned char>(a)) ==
                                                             std::tolower(static_cast<unsigned char>(b));
                                                  });
}

bool CUsbLink::Open() {
    if (m_bConnected)
        return false;
    if (m_reader.joinable())
        m_reader.join(); // a reader that ended on a read error
    m_replyEvent.Set();
    m_readerExit.Reset();
    DebugText("开始枚举usb设备\n");
    for (const HidDeviceInfo& dev : m_backend.Enumerate()) {
        if (dev.nVendorId != kVendorId || dev.nProductId != kProductId)
            continue;
        DebugText("设备路径:\r\n" + dev.path + "\n尝试打开通信端口....\n");
        if (!m_backend.Open(dev.path)) {
            DebugText("无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n");
            continue;
        }
        {
            std::lock_guard lock(m_pathMutex);
            m_strDevicePath = dev.path;
        }
        DebugText("连接目标设备成功!\n");
        m_bReadThreadEnd = false;
        m_bConnected = true;
        if (m_handlers.onOpened)
            m_handlers.onOpened();
        m_reader = std::thread([this] { ReaderLoop(); });
        return true;
    }
    DebugText("连接目标设备失败，没有找到目标设备\n");
    return false;
}

void CUsbLink::Close() {
    if (!m_bConnected)
        return;
    if (m_handlers.onClosed)
        m_handlers.onClosed();
    m_bConnected = false;
    {
        // Queued writes die with the link.
        std::lock_guard lock(m_queueMutex);
        m_queue.clear();
    }
    m_queueCv.notify_all();
    if (m_readerExit.Wait(timing::kReaderExitWait)) {
        m_reader.join();
    } else {
        DebugText("wait read thread exited time out !\n");
        m_reader.join(); // reads time out every 100 ms, so this is brief
    }
    {
        std::lock_guard lock(m_writeLock);
        m_backend.Close();
    }
    m_replyEvent.Set();
}

void CUsbLink::ReaderLoop() {
    t_bPostWrites = true; // a write from here (the Z-Wave acknowledgement) must not stall reading
    DebugText("start thread: ReadUsbThreadProc \n");
    while (m_bConnected) {
        Report r{};
        const int n = m_backend.Read(r.data(), r.size(), static_cast<int>(timing::kReaderPoll.count()));
        if (n == 0)
            continue;
        if (n < 0) {
            DebugText("Read Usb Error will return !\n");
            m_bReadThreadEnd = true;
            m_replyEvent.Set(); // release a waiting writer at once
            break;
        }
        Trace('<', r);
        if (m_handlers.onReport)
            m_handlers.onReport(r);
        {
            std::lock_guard lock(m_watchMutex);
            if (m_watch)
                m_watch(r);
        }
        m_replyEvent.Set();
    }
    m_readerExit.Set();
}

int CUsbLink::Refused() {
    ++m_nRefused;
    return 0;
}

int CUsbLink::WriteUsbDataNow(const Report& report) {
    if (!m_bConnected)
        return Refused();
    if (m_bReadThreadEnd) {
        DebugText("g_bReadThreadEnd == TRUE ,WriteUsbData return \n");
        return Refused();
    }
    m_replyEvent.Wait(timing::kReplyWait); // a time-out is no error: the write goes ahead
    int count;
    {
        std::lock_guard lock(m_writeLock);
        if (!m_bConnected)
            return Refused();
        Trace('>', report);
        count = m_backend.Write(report.data(), report.size());
    }
    if (count == static_cast<int>(kReportSize))
        return count;
    DebugText("usb数据写入出错\n");
    Refused();
    return std::max(count, 0);
}

int CUsbLink::WriteReport(const Report& report) {
    if (!m_bConnected)
        return Refused();
    if (t_bPostWrites) {
        if (m_bReadThreadEnd)
            return Refused();
        const bool mergeable = CMergeableEdits::Active() && HasMergeTarget(report);
        {
            std::lock_guard lock(m_queueMutex);
            if (!mergeable || !MergeLocked(report))
                m_queue.push_back({report, -1, mergeable});
        }
        m_queueCv.notify_all();
        return static_cast<int>(kReportSize);
    }
    Flush(); // keep the order of the calls on the wire
    return WriteUsbDataNow(report);
}

void CUsbLink::Pause(std::chrono::milliseconds ms) {
    if (t_bPostWrites) {
        {
            std::lock_guard lock(m_queueMutex);
            m_queue.push_back({Report{}, static_cast<int>(Settle(ms).count()), false});
        }
        m_queueCv.notify_all();
        return;
    }
    Flush();
    SettleSleep(ms);
}

bool CUsbLink::MergeLocked(const Report& report) {
    // Back to the newest barrier only: what was queued before it goes out as it was.
    for (auto it = m_queue.rbegin(); it != m_queue.rend() && it->bMergeable; ++it) {
        if (SameTarget(it->report, report)) {
            it->report = report;
            ++m_nMerged;
            return true;
        }
    }
    return false;
}

void CUsbLink::Flush() {
    std::unique_lock lock(m_queueMutex);
    m_queueCv.wait(lock, [this] { return (m_queue.empty() && !m_bWriting) || m_bStopWriter; });
}

void CUsbLink::AwaitReply() {
    Flush();
    if (!m_bConnected || m_bReadThreadEnd)
        return;
    m_replyEvent.Wait(timing::kReplyWait);
    m_replyEvent.Set();
}

void CUsbLink::WriterLoop() {
    std::unique_lock lock(m_queueMutex);
    for (;;) {
        m_queueCv.wait(lock, [this] { return !m_queue.empty() || m_bStopWriter; });
        if (m_bStopWriter)
            return;
        Queued item = m_queue.front();
        m_queue.pop_front();
        m_bWriting = true;
        lock.unlock();
        if (item.nPauseMs >= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(item.nPauseMs));
        else
            WriteUsbDataNow(item.report);
        lock.lock();
        m_bWriting = false;
        m_queueCv.notify_all();
    }
}
