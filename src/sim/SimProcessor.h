// The processor at the other end of the link, simulated: its identity, parameter table, parameter
// memory, four memory modes, machine settings, remote keys, live status and a Z-Wave controller with a
// few plugs. It keeps its own state and never looks at the console's store, so that a test compares
// the console with an independent peer. Not thread-safe; CSimBackend serialises the calls.
#pragma once

#include "link/Report.h"
#include "sim/SimTypes.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class CSimProcessor {
public:
    CSimProcessor(); // factory state

    // One report from the console in, the reports the processor answers with out (usually one;
    // none for a key-learning request, which is answered by PressKey, and for Z-Wave acks).
    std::vector<Report> Handle(const Report& in);

    // A key of the infrared remote received. While a learning request waits, the code is stored
    // and the key-learning report returned; otherwise the press is ignored.
    std::optional<Report> PressKey(uint8_t code);
    bool IsLearning() const { return m_nLearnKey != 0; }

    // Everything back to factory content, as the machine-reset command does.
    void FactoryReset();
    // Memory of the running state and of all four modes never written: every byte 0xFF.
    void EraseMemory();

    // The factory content of mode m (0..3); the same every time.
    static SimSettings FactorySettings(int mode);

    int CurrentMode() const { return m_nCurMode; }
    const SimSettings& Current() const { return m_current; }
    const SimSettings& Stored(int mode) const { return m_modes.at(mode); }
    // The words a parameter request would carry (empty when the table has none).
    std::vector<uint32_t> Param(int block, int param) const;
    const std::array<uint8_t, kSimMachineSize>& Machine() const { return m_machine; }
    const std::array<uint8_t, kSimRemoteSize>& RemoteKeys() const { return m_remote; }
    const std::u16string& ModeName(int mode) const { return m_modeNames.at(mode); }
    void SetModeName(int mode, std::u16string name); // cut to 23 units; empty reads as erased

    // Z-Wave network; node 1 is the controller and always present.
    std::vector<int> Nodes() const; // present plug nodes, ascending
    std::optional<SimNode> Node(int id) const;
    bool AddNode(int id, uint8_t kind); // false for an id outside 2..232
    void RemoveNode(int id);
    const std::array<uint8_t, kSimPlugMemSize>& PlugMemory() const { return m_plugMem; }

    // Z-Wave test hooks. A frame the controller sends on its own (a node report, a late callback).
    static Report ZWaveRequest(const std::vector<uint8_t>& data);
    // A silent node neither acknowledges a transmission nor reports; the transmission stays pending
    // until the console aborts it (a bare 0x13), which fails it.
    void SetNodeSilent(int id, bool silent);
    // Inclusion and exclusion wait for a plug's button instead of completing at once.
    void SetHoldForButton(bool hold) { m_bHoldForButton = hold; }
    // A plug's button: completes a waiting inclusion (node `id` or the first free one, of `kind`) or
    // exclusion (node `id` or the highest). Nothing when no mode waits.
    std::vector<Report> PressPlugButton(int id = 0, uint8_t kind = kSimPlugSwitch);
    bool ZWaveModeWaiting() const { return m_byModeFn != 0; }

    // The whole persistent state (not the live pattern or a pending learning request). Loading
    // a foreign, damaged or truncated image fails with a reason and leaves the state as it was.
    std::vector<uint8_t> SaveStateBytes() const;
    bool LoadStateBytes(const std::vector<uint8_t>& bytes, std::string& error);
    bool SaveState(const std::string& path, std::string& error) const;
    bool LoadState(const std::string& path, std::string& error);

private:
    std::vector<Report> HandleZWave(const Report& in);
    std::vector<Report> ZWaveFunction(const std::vector<uint8_t>& data);
    std::optional<std::vector<Report>> ZWaveHeld(const std::vector<uint8_t>& data);
    Report ParamReply(const Report& in) const;
    Report MemReply(const Report& in) const;
    Report PlugReply(const Report& in) const;
    Report LiveReply();
    std::vector<Report> ModeNameReports() const;
    void ResetNetwork();
    int FreeNodeId() const;

    SimSettings m_current;
    std::array<SimSettings, kSimModeCount> m_modes;
    int m_nCurMode = 0;
    std::array<uint8_t, kSimMachineSize> m_machine{};
    std::array<uint8_t, kSimRemoteSize> m_remote{};
    std::array<std::u16string, kSimModeCount> m_modeNames;
    std::array<uint8_t, kSimPlugMemSize> m_plugMem{};
    std::map<int, SimNode> m_nodes; // plug nodes 2..232
    int m_nLearnKey = 0;            // key 1..17 waiting for a press, 0 when none
    std::set<int> m_silentNodes;
    int m_nPendingCallback = -1; // a transmission to a silent node, until aborted
    bool m_bHoldForButton = false;
    uint8_t m_byModeFn = 0; // inclusion or exclusion waiting for a button, with its callback id
    uint8_t m_byModeCallback = 0;
    uint32_t m_nLiveTick = 0;
};
