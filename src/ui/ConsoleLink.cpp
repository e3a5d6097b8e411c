#include "ui/ConsoleLink.h"

#include "dispatch/Dispatcher.h"
#include "link/Link.h"
#include "link/hidapi/DeviceMonitor.h"
#include "link/hidapi/HidapiBackend.h"
#include "sim/SimBackend.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

CConsoleLink::CConsoleLink(Kind kind, const QString& simState, QObject* parent)
    : QObject(parent), m_strSimState(simState) {
    if (kind == Kind::Simulated) {
        auto sim = std::make_unique<CSimBackend>();
        m_pSim = sim.get();
        if (!simState.isEmpty() && QFileInfo::exists(simState)) {
            std::string error;
            if (!sim->LoadState(simState.toStdString(), error))
                DebugText("simulated processor state not loaded: " + error + "\n");
        }
        m_pBackend = std::move(sim);
    } else {
        m_pBackend = std::make_unique<CHidapiBackend>();
    }
    // Every close (removal, disconnect, failed identification) ends the plug workers' waits at once.
    LinkHandlers handlers = DispatchHandlers();
    handlers.onClosed = [this, closed = handlers.onClosed] {
        if (m_pFlows)
            m_pFlows->OnLinkClosed();
        if (closed)
            closed();
    };
    m_pLink = std::make_unique<CUsbLink>(*m_pBackend, std::move(handlers));
    m_pConn = std::make_unique<CConnection>(*m_pLink);
    m_pFlows = std::make_unique<CPlugFlows>();
    // Edits from this (the UI) thread are queued in order and never wait for the device.
    CUsbLink::PostWritesFromThisThread(true);
    SetLink(m_pLink.get());
    SetConsoleEvents(this);
}

CConsoleLink::~CConsoleLink() {
    if (m_pMonitor)
        m_pMonitor->Stop();
    if (m_pSim)
        m_pSim->SetCableWatch(nullptr);
    m_pFlows.reset(); // its worker is joined while the events sink and the link still exist
    m_pConn->WaitSync();
    if (GetConsoleEvents() == this)
        SetConsoleEvents(nullptr);
    m_pLink->Close();
    if (GetLink() == m_pLink.get())
        SetLink(nullptr);
    SaveSimState();
}

void CConsoleLink::StartMonitor() {
    const std::function<void(const std::string&)> arrived = [this](const std::string& path) {
        const QString p = QString::fromStdString(path);
        QMetaObject::invokeMethod(
            this, [this, p] { emit DeviceArrived(p); }, Qt::QueuedConnection);
    };
    const std::function<void(const std::string&)> removed = [this](const std::string& path) {
        const QString p = QString::fromStdString(path);
        QMetaObject::invokeMethod(
            this, [this, p] { emit DeviceRemoved(p); }, Qt::QueuedConnection);
    };
    if (m_pSim) {
        // The simulated cable reports itself, as the monitor reports a real one.
        m_pSim->SetCableWatch([arrived, removed](bool plugged) {
            if (plugged)
                arrived(kSimDevicePath);
            else
                removed(kSimDevicePath);
        });
        return;
    }
    if (m_pMonitor)
        return;
    m_pMonitor = std::make_unique<CDeviceMonitor>(arrived, removed);
    m_pMonitor->Start(*m_pBackend);
}

QString CConsoleLink::SaveSimState() {
    if (!m_pSim || m_strSimState.isEmpty())
        return QString();
    QDir().mkpath(QFileInfo(m_strSimState).absolutePath());
    std::string error;
    if (!m_pSim->SaveState(m_strSimState.toStdString(), error))
        return QString::fromStdString(error);
    return QString();
}

void CConsoleLink::OnParamError(uint8_t code, uint8_t block, uint8_t param) {
    const QString text = QString::fromStdString(FormatParamError(code, block, param));
    QMetaObject::invokeMethod(
        this, [this, text] { emit ParamError(text); }, Qt::QueuedConnection);
}

void CConsoleLink::OnKeyLearned(uint8_t code) {
    QMetaObject::invokeMethod(
        this, [this, code] { emit KeyLearned(code); }, Qt::QueuedConnection);
}

void CConsoleLink::OnPlugEvent(uint32_t w, uint32_t l) {
    QMetaObject::invokeMethod(
        this, [this, w, l] { emit PlugEvent(w, l); }, Qt::QueuedConnection);
}

void CConsoleLink::OnPlugProgress(uint32_t w, uint32_t l) {
    QMetaObject::invokeMethod(
        this, [this, w, l] { emit PlugProgress(w, l); }, Qt::QueuedConnection);
}

void CConsoleLink::OnSyncFinished(int kind) {
    QMetaObject::invokeMethod(
        this, [this, kind] { emit SyncFinished(kind); }, Qt::QueuedConnection);
}

void CConsoleLink::OnStoreChanged(uint32_t regions) {
    // Only the first report of a turn queues the signal; later ones add their regions to it.
    if (m_nPendingRegions.fetch_or(regions) != 0)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (const uint32_t pending = m_nPendingRegions.exchange(0))
                emit StoreChanged(pending);
        },
        Qt::QueuedConnection);
}
