// The simulated processor's command handling: identity, parameters, memory, modes, machine settings,
// remote keys and the live status.
#include "sim/SimProcessor.h"

#include "sim/SimInternal.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

using namespace sim;

namespace {

constexpr uint8_t kResetGuard = 0xAA;
constexpr uint32_t kZero = std::bit_cast<uint32_t>(0.0f);

} // namespace

CSimProcessor::CSimProcessor() {
    FactoryReset();
    // The network ships with three plugs that already have names in plug memory.
    m_nodes = {{2, {kSimPlugSwitch, 0}}, {3, {kSimPlugDimmer, 0}}, {5, {kSimPlugSwitch, 0xFF}}};
    PutPlugRecord(m_plugMem, 2, kSimPlugSwitch, u"Lamp");
    PutPlugRecord(m_plugMem, 3, kSimPlugDimmer, u"Ceiling");
    PutPlugRecord(m_plugMem, 5, kSimPlugSwitch, u"Amplifier");
}

SimSettings CSimProcessor::FactorySettings(int mode) {
    return Factories().at(mode);
}

// The Z-Wave network and plug memory belong to the controller and survive a machine reset.
void CSimProcessor::FactoryReset() {
    m_modes = Factories();
    m_current = m_modes[0];
    m_nCurMode = 0;
    m_machine = kFactoryMachine;
    m_remote = FactoryRemote();
    for (int m = 0; m < kSimModeCount; ++m)
        m_modeNames[m] = kModeNames[m];
    m_nLearnKey = 0;
}

void CSimProcessor::EraseMemory() {
    m_current.mem.fill(0xFF);
    for (auto& mode : m_modes)
        mode.mem.fill(0xFF);
}

std::vector<uint32_t> CSimProcessor::Param(int block, int param) const {
    auto it = m_current.params.find({static_cast<uint8_t>(block), static_cast<uint8_t>(param)});
    return it == m_current.params.end() ? std::vector<uint32_t>{} : it->second;
}

void CSimProcessor::SetModeName(int mode, std::u16string name) {
    if (name.size() > static_cast<size_t>(kSimModeNameUnits))
        name.resize(kSimModeNameUnits);
    m_modeNames.at(mode) = std::move(name);
}

std::vector<Report> CSimProcessor::Handle(const Report& in) {
    const uint8_t code = in[1];
    switch (code) {
    case CMD_GET_MODEL:
        return {StringReport(CMD_GET_MODEL, kSimModel)};
    case CMD_GET_CMD_VERSION:
        return {ByteReport(CMD_GET_CMD_VERSION, kSimCmdVersion)};
    case CMD_GET_MCU_VERSION:
        // The console has no request of its own for the DSP version: it comes along.
        return {StringReport(CMD_GET_MCU_VERSION, kSimMcuVersion),
                StringReport(CMD_DSP_VERSION, kSimDspVersion)};
    case CMD_GET_MODE:
        return {ByteReport(CMD_GET_MODE, static_cast<uint8_t>(m_nCurMode))};
    case CMD_IDENT_EXTRA:
        return ModeNameReports();

    case CMD_SET_PARAM: {
        const uint8_t block = in[3], param = in[4];
        const int n = std::min<int>(in[5], kMaxParamValues);
        const bool valid = block >= 1 && block <= kBlocks;
        if (valid) {
            std::vector<uint32_t> words(n);
            for (int i = 0; i < n; ++i)
                words[i] = GetBE32(&in[6 + 4 * i]);
            m_current.params[{block, param}] = std::move(words);
        }
        Report ack = NewReport(CMD_SET_PARAM);
        ack[2] = valid ? 0 : 1;
        ack[3] = block;
        ack[4] = param;
        ack[5] = static_cast<uint8_t>(n);
        return {ack};
    }
    case CMD_GET_PARAM:
        return {ParamReply(in)};

    case CMD_MEM_WRITE: {
        const int addr = static_cast<int>(GetBE16(&in[2]));
        const int len = std::min<int>(in[4], kMaxChunk);
        for (int i = 0; i < len && addr + i < kSimMemSize; ++i)
            m_current.mem[addr + i] = in[5 + i];
        return {Echo(in)};
    }
    case CMD_MEM_READ:
        return {MemReply(in)};

    case CMD_MODE_SET:
    case CMD_MODE_STORE:
    case CMD_MODE_LOAD:
    case CMD_MODE_FACTORY: {
        const int m = in[2];
        if (m < kSimModeCount) {
            if (code == CMD_MODE_STORE)
                m_modes[m] = m_current;
            else if (code == CMD_MODE_LOAD)
                m_current = m_modes[m];
            else if (code == CMD_MODE_FACTORY)
                m_current = m_modes[m] = Factories()[m];
            m_nCurMode = m;
        }
        // Telling the console the mode now current is the one answer it can only agree with.
        return {ByteReport(CMD_GET_MODE, static_cast<uint8_t>(m_nCurMode))};
    }

    case CMD_SET_MACHINE:
        std::copy_n(&in[2], kSimMachineSize, m_machine.begin());
        return {Echo(in)};
    case CMD_GET_MACHINE: {
        Report r = NewReport(CMD_GET_MACHINE);
        std::copy(m_machine.begin(), m_machine.end(), &r[2]);
        return {r};
    }
    case CMD_SET_REMOTE:
        std::copy_n(&in[2], kSimRemoteSize, m_remote.begin());
        return {Echo(in)};
    case CMD_GET_STATUS: {
        Report r = NewReport(CMD_GET_STATUS);
        std::copy_n(m_remote.begin(), kSimStatusSize, &r[2]);
        return {r};
    }
    case CMD_LEARN_KEY:
        if (in[2] >= 1 && in[2] <= kRemoteKeys) {
            m_nLearnKey = in[2];
            return {}; // answered when a key arrives (PressKey)
        }
        return {Echo(in)};
    case CMD_LEARN_STOP:
        m_nLearnKey = 0;
        return {Echo(in)};

    case CMD_MACHINE_RESET:
        if (in[2] == kResetGuard)
            FactoryReset();
        return {Echo(in)};
    case CMD_DISCONNECT:
        m_nLearnKey = 0;
        return {Echo(in)};

    case CMD_GET_LIVE:
        return {LiveReply()};

    case CMD_ZWAVE:
        return HandleZWave(in);
    case CMD_PLUG_WRITE: {
        const int addr = static_cast<int>(GetBE16(&in[2]));
        const int len = std::min<int>(in[4], kMaxChunk);
        for (int i = 0; i < len && addr + i < kSimPlugMemSize; ++i)
            m_plugMem[addr + i] = in[5 + i];
        return {Echo(in)};
    }
    case CMD_PLUG_READ:
        return {PlugReply(in)};

    default:
        return {Echo(in)};
    }
}

Report CSimProcessor::ParamReply(const Report& in) const {
    const uint8_t block = in[3], param = in[4];
    const int n = std::min<int>(in[5], kMaxParamValues);
    Report r = NewReport(CMD_GET_PARAM);
    r[2] = (block >= 1 && block <= kBlocks) ? 0 : 1;
    r[3] = block;
    r[4] = param;
    r[5] = static_cast<uint8_t>(n);
    const std::pair<uint8_t, uint8_t> key{block, param};
    const auto it = m_current.params.find(key);
    const auto& factory = Factories()[m_nCurMode].params;
    const auto fit = factory.find(key);
    for (int i = 0; i < n; ++i) {
        // Words beyond those last set: the factory word, else 0.
        uint32_t v = 0;
        if (it != m_current.params.end() && i < static_cast<int>(it->second.size()))
            v = it->second[i];
        else if (fit != factory.end() && i < static_cast<int>(fit->second.size()))
            v = fit->second[i];
        PutBE32(&r[6 + 4 * i], v);
    }
    return r;
}

Report CSimProcessor::MemReply(const Report& in) const {
    const int addr = static_cast<int>(GetBE16(&in[2]));
    const int len = std::min<int>(in[4], kMaxChunk);
    Report r = NewReport(CMD_MEM_READ);
    r[2] = in[2];
    r[3] = in[3];
    r[4] = static_cast<uint8_t>(len);
    for (int i = 0; i < len; ++i)
        r[5 + i] = addr + i < kSimMemSize ? m_current.mem[addr + i] : 0xFF;
    return r;
}

Report CSimProcessor::PlugReply(const Report& in) const {
    const int addr = static_cast<int>(GetBE16(&in[2]));
    const int len = std::min<int>(in[4], kMaxChunk);
    Report r = NewReport(CMD_PLUG_READ);
    r[2] = in[2];
    r[3] = in[3];
    r[4] = static_cast<uint8_t>(len);
    for (int i = 0; i < len; ++i)
        r[5 + i] = addr + i < kSimPlugMemSize ? m_plugMem[addr + i] : 0;
    return r;
}

// Deterministic: each request advances the pattern by one step, so two polls never look alike and a
// test can predict every byte. Muted inputs show no level.
Report CSimProcessor::LiveReply() {
    const uint32_t t = m_nLiveTick++;
    auto tri = [](uint32_t x, uint32_t period, int top) {
        const int p = static_cast<int>(x % period), half = static_cast<int>(period / 2);
        return static_cast<uint8_t>(p < half ? top * p / half : top * (static_cast<int>(period) - p) / half);
    };
    auto muted = [&](int block, int param) {
        auto it = m_current.params.find({static_cast<uint8_t>(block), static_cast<uint8_t>(param)});
        return it != m_current.params.end() && !it->second.empty() && it->second[0] == kZero;
    };
    const bool micMuted = muted(1, 15), musicMuted = muted(4, 13);
    Report r = NewReport(CMD_GET_LIVE);
    uint8_t* live = &r[2];
    for (uint32_t k = 0; k < 4; ++k)
        live[k] = micMuted ? 0 : tri(t + 3 * k, 16, 60);
    live[4] = musicMuted ? 0 : tri(t, 12, 60);
    live[5] = musicMuted ? 0 : tri(t + 2, 12, 60);
    live[6] = static_cast<uint8_t>(static_cast<int8_t>(-30 + tri(t, 20, 30))); // input level in dB
    static constexpr uint8_t kFormats[4] = {0x00, 0x01, 0x02, 0x04};           // stereo, Dolby, DTS, LPCM
    live[7] = kFormats[(t / 20) % 4];
    // Two wireless microphones: RF level, AF level, channel, battery (× 8 mV).
    live[8] = static_cast<uint8_t>(150 + tri(t, 24, 100));
    live[9] = tri(t, 10, 15);
    live[10] = 12;
    live[11] = 205;
    live[12] = static_cast<uint8_t>(160 + tri(t + 7, 30, 90));
    live[13] = tri(t + 3, 8, 15);
    live[14] = 27;
    live[15] = 190;
    return r;
}

// Big-endian UTF-16 with its terminator; an empty name goes out as erased memory.
std::vector<Report> CSimProcessor::ModeNameReports() const {
    std::vector<Report> out;
    for (int m = 0; m < kSimModeCount; ++m) {
        Report r = NewReport(CMD_MODE_NAME);
        PutBE16(&r[2], kSimModeNameAddress + 0x40u * static_cast<uint32_t>(m));
        const std::u16string& name = m_modeNames[m];
        if (name.empty()) {
            r[4] = 4;
            std::fill_n(&r[5], 4, 0xFF);
        } else {
            r[4] = static_cast<uint8_t>(2 * (name.size() + 1));
            for (size_t i = 0; i < name.size(); ++i)
                PutBE16(&r[5 + 2 * i], name[i]);
        }
        out.push_back(r);
    }
    return out;
}
