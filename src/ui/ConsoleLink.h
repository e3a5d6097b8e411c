// The console's device side: a backend (USB or the simulated processor), the link, the connection
// procedures and the arrival/removal monitor, with the core's events queued onto the UI thread.
#pragma once

#include "link/Events.h"
#include "link/Transport.h"
#include "plugs/PlugFlows.h"
#include "sync/Sync.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class CSimBackend;
class CDeviceMonitor;
class IHidBackend;

class CConsoleLink : public QObject, public IConsoleEvents {
    Q_OBJECT
public:
    enum class Kind { Usb, Simulated };
    // `simState`: where the simulated processor keeps its state between runs (may be empty).
    CConsoleLink(Kind kind, const QString& simState, QObject* parent = nullptr);
    ~CConsoleLink() override;

    CUsbLink& Link() { return *m_pLink; }
    CConnection& Conn() { return *m_pConn; }
    CSimBackend* Sim() { return m_pSim; }
    // The smart-plug workers; every close of the link ends their waits.
    CPlugFlows& Flows() { return *m_pFlows; }
    bool Simulated() const { return m_pSim != nullptr; }

    // Watches for arrival and removal: of USB devices, or of the simulated processor's cable.
    void StartMonitor();

    // Saves the simulated processor's state; returns an error text or "".
    QString SaveSimState();

    // IConsoleEvents, called on any thread.
    void OnParamError(uint8_t code, uint8_t block, uint8_t param) override;
    void OnKeyLearned(uint8_t code) override;
    void OnPlugEvent(uint32_t w, uint32_t l) override;
    void OnPlugProgress(uint32_t w, uint32_t l) override;
    void OnSyncFinished(int kind) override;
    void OnStoreChanged(uint32_t regions) override;

signals:
    void ParamError(const QString& text);
    void KeyLearned(int code);
    void PlugEvent(quint32 w, quint32 l);
    void PlugProgress(quint32 w, quint32 l);
    void SyncFinished(int kind);
    void DeviceArrived(const QString& path);
    void DeviceRemoved(const QString& path);
    // The store changed in `regions` (StoreRegion bits): reports arriving within one turn of the
    // event loop are coalesced into one signal.
    void StoreChanged(quint32 regions);

private:
    std::unique_ptr<IHidBackend> m_pBackend;
    CSimBackend* m_pSim = nullptr;
    std::unique_ptr<CUsbLink> m_pLink;
    std::unique_ptr<CConnection> m_pConn;
    std::unique_ptr<CPlugFlows> m_pFlows; // after the link: gone before the link closes for good
    std::unique_ptr<CDeviceMonitor> m_pMonitor;
    QString m_strSimState;
    std::atomic<uint32_t> m_nPendingRegions{0};
};
