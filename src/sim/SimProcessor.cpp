#include "sim/SimProcessor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// Z-Wave serial frame bytes and the function ids the controller answers.
constexpr uint8_t kZwSof = 0x01;
constexpr uint8_t kZwAck = 0x06;
constexpr uint8_t kZwNak = 0x15;
constexpr uint8_t kZwCan = 0x18;
constexpr uint8_t kZwRequest = 0x00;
constexpr uint8_t kZwResponse = 0x01;
constexpr uint8_t kZwGetInitData = 0x02;
constexpr uint8_t kZwAppCommand = 0x04;
constexpr uint8_t kZwSendData = 0x13;
constexpr uint8_t kZwSetDefault = 0x42;
constexpr uint8_t kZwAddNode = 0x4A;
constexpr uint8_t kZwRemoveNode = 0x4B;
constexpr uint8_t kZwBasic = 0x20;
constexpr uint8_t kZwBasicSet = 0x01;
constexpr uint8_t kZwBasicGet = 0x02;
constexpr uint8_t kZwBasicReport = 0x03;
constexpr uint8_t kZwModeStop = 0x05;
constexpr int kZwMaskBytes = (kSimMaxNode + 7) / 8;
constexpr int kZwMaxData =
    static_cast<int>(kReportSize) - 7; // after code, length, SOF, LEN, type; before checksum

constexpr int kBlocks = 12;
constexpr int kMaxChunk = static_cast<int>(kReportPayload);
constexpr int kRemoteKeys = 17;
constexpr uint8_t kResetGuard = 0xAA;
constexpr int kPlugRecordSize = 28;

// Band record types.
constexpr uint8_t kPeq = 1, kLowPass = 2, kHighPass = 3, kHighShelf = 5;

constexpr uint32_t F(float f) {
    return std::bit_cast<uint32_t>(f);
}
constexpr uint32_t kZero = F(0.0f), kHalf = F(0.5f), kOne = F(1.0f);

uint32_t Samples(double ms) {
    return static_cast<uint32_t>(ms * 48.0 + 0.5);
}

// Threshold, 0, ratio, 20.0, 0.05, attack, release: ratio as 1 - 1/r, times as 1 - e^(-1/(48 ms)).
std::vector<uint32_t> Compressor(float thresholdDb, float ratio, float attackMs, float releaseMs) {
    auto time = [](float ms) { return F(static_cast<float>(1.0 - std::exp(-1.0 / (48.0 * ms)))); };
    return {F(thresholdDb), 0, F(1.0f - 1.0f / ratio), F(20.0f), F(0.05f), time(attackMs), time(releaseMs)};
}

// Each mode ships with its own character: echo amount and music bass.
constexpr float kModeEchoLevel[kSimModeCount] = {0.5f, 0.2f, 0.1f, 0.4f};
constexpr double kModeBassDb[kSimModeCount] = {0.0, 3.0, 6.0, 2.0};
const char16_t* const kModeNames[kSimModeCount] = {u"Karaoke", u"Music", u"Movie", u"Party"};

void FactoryParams(SimParamTable& t, int mode) {
    auto put = [&](int block, int param, std::vector<uint32_t> v) {
        t[{static_cast<uint8_t>(block), static_cast<uint8_t>(param)}] = std::move(v);
    };
    // Unity biquads: -a1, -a2, b0, b1, b2.
    auto flat = [&](int block, int first, int count) {
        for (int i = 0; i < count; ++i)
            put(block, first + i, {kZero, kZero, kOne, kZero, kZero});
    };
    const std::vector<uint32_t> sixZeros(6, 0);

    // Microphones
    flat(1, 16, 10);
    flat(1, 39, 10);
    for (int p = 4; p <= 7; ++p)
        put(1, p, {kHalf});
    for (int p = 8; p <= 11; ++p)
        put(1, p, {kZero});
    put(1, 12, {0});
    put(1, 13, {F(0.3f)});
    put(1, 14, {kHalf});
    put(1, 15, {kOne}); // 1.0 = not muted
    put(1, 26, {0});
    put(1, 49, {0});
    for (int p = 27; p <= 30; ++p)
        put(1, p, {kOne}); // every microphone feeds set A
    for (int p = 50; p <= 53; ++p)
        put(1, p, {kZero});
    for (int base : {31, 54}) { // pitch shift off
        put(1, base, {kZero});
        put(1, base + 1, {0});
        put(1, base + 2, {1});
    }
    put(1, 34, {kHalf});
    put(1, 57, {kHalf});
    for (int p : {35, 36, 58, 59})
        put(1, p, {kZero});
    put(1, 37, {1}); // boost off
    put(1, 60, {1});
    put(1, 38, sixZeros);
    put(1, 61, sixZeros);

    // Echo, sets A and B
    flat(2, 0, 7);
    flat(2, 13, 7);
    for (int base : {7, 20}) {
        put(2, base, {0});
        put(2, base + 1, {F(kModeEchoLevel[mode])});
        put(2, base + 2, {Samples(20.0)});
        put(2, base + 3, {Samples(217.0)});
        put(2, base + 4, {F(0.6f)});
        put(2, base + 5, {kHalf});
    }
    put(2, 26, {kHalf});
    put(2, 27, {kOne});

    // Reverb, sets A and B
    flat(3, 0, 7);
    flat(3, 12, 7);
    for (int base : {7, 19}) {
        put(3, base, {0});
        put(3, base + 1, {kHalf});
        put(3, base + 2, {Samples(20.0)});
        put(3, base + 3, {F(1.5f)});
        put(3, base + 4, {F(1.5f)});
    }
    put(3, 24, {kHalf, kHalf});
    put(3, 25, {kOne, kOne});

    // Music
    flat(4, 0, 11); // ten EQ bands and the low-frequency path filter
    put(4, 11, {0});
    put(4, 12, {kHalf});
    put(4, 13, {kOne});
    put(4, 14, Compressor(-6.0f, 10.0f, 1.0f, 100.0f));
    put(4, 15, {1});
    put(4, 16, {0});
    put(4, 17, {F(-20.0f)});
    put(4, 21, {5}); // key shift 0
    put(4, 22, {kZero});
    put(4, 23, {0});
    for (int p = 24; p <= 32; ++p)
        put(4, p, {kHalf});
    put(4, 33, {0});
    put(4, 34, {8}); // no speaker located
    put(4, 36, {0});
    put(4, 37, {kHalf});

    // Outputs
    for (int c = 0; c < 8; ++c) {
        const int block = 5 + c;
        flat(block, 0, 15);
        put(block, 15, {0});
        put(block, 16, {static_cast<uint32_t>(c)});
        put(block, 17, {kOne, kZero}); // delay on the whole channel
        put(block, 18, {Samples(1.5)});
        put(block, 19, {1});
        for (int p = 20; p <= 23; ++p)
            put(block, p, {kHalf});
        put(block, 24, {kOne});
        put(block, 25, {kOne});
        put(block, 26, {kOne});
        put(block, 27, Compressor(0.0f, 2.0f, 5.0f, 100.0f));
        put(block, 28, {1});
        put(block, 29, sixZeros);
    }
}

// Gain (dB + 15) × 10, frequency, Q × 1000, type; all big-endian.
void PutBand(std::array<uint8_t, kSimMemSize>& m, int& addr, int freq, double q = 1.414, uint8_t type = kPeq,
             double gainDb = 0.0) {
    PutBE16(&m[addr], static_cast<uint32_t>(std::lround((gainDb + 15.0) * 10.0)));
    PutBE16(&m[addr + 2], static_cast<uint32_t>(freq));
    PutBE16(&m[addr + 4], static_cast<uint32_t>(std::lround(q * 1000.0)));
    m[addr + 6] = type;
    addr += 7;
}

// Sign and magnitude in tenths of a metre; zero carries the sign bit.
uint8_t Coord(double metres) {
    const auto mag = static_cast<uint8_t>(std::min(127L, std::lround(std::fabs(metres) * 10.0)));
    return metres <= 0.0 ? static_cast<uint8_t>(0x80 | mag) : mag;
}

void FactoryMemory(std::array<uint8_t, kSimMemSize>& m, int mode) {
    m.fill(0);
    const int octave[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    int a = 0;
    for (int set = 0; set < 2; ++set) // microphone EQ A and B
        for (int f : octave)
            PutBand(m, a, f);
    for (int eq = 0; eq < 4; ++eq) { // echo A, B, reverb A, B
        PutBand(m, a, 100, 0.707, kHighPass);
        for (int f : {160, 250, 500, 1000, 2300})
            PutBand(m, a, f);
        PutBand(m, a, 5000, 0.707, kHighShelf, -3.0);
    }
    for (int i = 0; i < 10; ++i) // music
        PutBand(m, a, octave[i], 1.414, kPeq, i == 0 ? kModeBassDb[mode] : 0.0);
    for (int c = 0; c < 8; ++c) {
        for (int f : octave)
            PutBand(m, a, f);
        for (int i = 0; i < 3; ++i) // crossover companions, idle
            PutBand(m, a, 16000);
        PutBand(m, a, 500, 0.707); // split filters of the high-frequency delay
        PutBand(m, a, 1000, 0.707);
    }
    PutBand(m, a, 120, 0.707, kLowPass); // low-frequency path, 1246
    a += 32;                             // surround levels: eight floats 0.0 dB
    // Sound field at 1285: a 5 m × 6 m room, listener slightly behind the centre.
    const double pos[9][2] = {{0.0, -0.5}, {-1.8, 2.5}, {0.0, 2.6},  {1.8, 2.5}, {-1.5, -2.5},
                              {2.2, 2.2},  {1.5, -2.5}, {-2.3, 0.0}, {2.3, 0.0}};
    m[a++] = 5;
    m[a++] = 6;
    for (const auto& p : pos) {
        m[a++] = Coord(p[0]);
        m[a++] = Coord(p[1]);
    }
    // Microphone boost at 1305: upper half of the float -6.0 dB.
    PutBE16(&m[a], F(-6.0f) >> 16);
}

const std::array<SimSettings, kSimModeCount>& Factories() {
    static const std::array<SimSettings, kSimModeCount> factories = [] {
        std::array<SimSettings, kSimModeCount> f;
        for (int m = 0; m < kSimModeCount; ++m) {
            FactoryParams(f[m].params, m);
            FactoryMemory(f[m].mem, m);
        }
        return f;
    }();
    return factories;
}

constexpr std::array<uint8_t, kSimMachineSize> kFactoryMachine = {0, 0, 0, 40, 40, 99, 99, 0, 0, 0, 0, 0, 0};

std::array<uint8_t, kSimRemoteSize> FactoryRemote() {
    std::array<uint8_t, kSimRemoteSize> r{};
    r[0] = 0xA0;
    for (int k = 1; k <= kRemoteKeys; ++k)
        r[k] = static_cast<uint8_t>(0x40 + k);
    return r;
}

Report NewReport(uint8_t code) {
    Report r{};
    r[0] = kReportId;
    r[1] = code;
    return r;
}

Report StringReport(uint8_t code, const char* text) {
    Report r = NewReport(code);
    const size_t n = std::min(std::strlen(text), kReportSize - 3); // keeps a terminator
    std::memcpy(&r[2], text, n);
    return r;
}

Report ByteReport(uint8_t code, uint8_t value) {
    Report r = NewReport(code);
    r[2] = value;
    return r;
}

// Commands with nothing to return are confirmed by sending them back; the console ignores these codes.
Report Echo(const Report& in) {
    Report r = in;
    r[0] = kReportId;
    return r;
}

Report ZWaveShort(uint8_t what) {
    Report r = NewReport(CMD_ZWAVE);
    r[2] = 1;
    r[3] = what;
    return r;
}

Report ZWaveFrame(uint8_t type, const std::vector<uint8_t>& data) {
    Report r = NewReport(CMD_ZWAVE);
    const size_t n = std::min(data.size(), static_cast<size_t>(kZwMaxData));
    r[2] = static_cast<uint8_t>(n + 4);
    r[3] = kZwSof;
    r[4] = static_cast<uint8_t>(n + 2);
    r[5] = type;
    uint8_t sum = 0xFF ^ r[4] ^ r[5];
    for (size_t i = 0; i < n; ++i) {
        r[6 + i] = data[i];
        sum ^= data[i];
    }
    r[6 + n] = sum;
    return r;
}

void PutPlugRecord(std::array<uint8_t, kSimPlugMemSize>& mem, int node, uint8_t kind, const char16_t* name) {
    uint8_t* rec = &mem[static_cast<size_t>(node) * kPlugRecordSize];
    std::fill(rec, rec + kPlugRecordSize, 0);
    rec[0] = kind; // little-endian 32-bit kind
    for (int i = 0; i < 11 && name[i]; ++i) {
        rec[4 + 2 * i] = static_cast<uint8_t>(name[i]);
        rec[5 + 2 * i] = static_cast<uint8_t>(name[i] >> 8);
    }
}

// --- state file ---

constexpr char kMagic[8] = {'M', '7', 'Q', 'S', 'I', 'M', 'S', 'T'};
constexpr uint32_t kStateVersion = 1;
constexpr size_t kHeaderSize = sizeof kMagic + 8; // magic, version, payload length
constexpr size_t kTrailerSize = 4;                // checksum

uint32_t Fnv1a(const uint8_t* p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 16777619u;
    return h;
}

class CWriter {
public:
    void U8(uint32_t v) { m_b.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v);
        U16(v >> 16);
    }
    void Bytes(const uint8_t* p, size_t n) { m_b.insert(m_b.end(), p, p + n); }
    std::vector<uint8_t>& Data() { return m_b; }

private:
    std::vector<uint8_t> m_b;
};

// Reads little-endian fields; any read past the end clears ok() and returns zeros.
class CReader {
public:
    CReader(const uint8_t* p, size_t n) : m_p(p), m_n(n) {}
    uint32_t U8() { return Take(1) ? m_p[m_pos - 1] : 0; }
    uint32_t U16() { return U8() | (U8() << 8); }
    uint32_t U32() { return U16() | (U16() << 16); }
    bool Bytes(uint8_t* out, size_t n) {
        if (!Take(n))
            return false;
        std::memcpy(out, m_p + m_pos - n, n);
        return true;
    }
    bool Fail() {
        m_bOk = false;
        return false;
    }
    bool ok() const { return m_bOk; }
    bool AtEnd() const { return m_pos == m_n; }

private:
    bool Take(size_t n) {
        if (!m_bOk || m_n - m_pos < n)
            return Fail();
        m_pos += n;
        return true;
    }
    const uint8_t* m_p;
    size_t m_n;
    size_t m_pos = 0;
    bool m_bOk = true;
};

void WriteSettings(CWriter& w, const SimSettings& s) {
    w.U16(static_cast<uint32_t>(s.params.size()));
    for (const auto& [key, words] : s.params) {
        w.U8(key.first);
        w.U8(key.second);
        w.U8(static_cast<uint32_t>(words.size()));
        for (uint32_t v : words)
            w.U32(v);
    }
    w.Bytes(s.mem.data(), s.mem.size());
}

bool ReadSettings(CReader& r, SimSettings& s) {
    const uint32_t count = r.U16();
    for (uint32_t i = 0; i < count && r.ok(); ++i) {
        const auto block = static_cast<uint8_t>(r.U8());
        const auto param = static_cast<uint8_t>(r.U8());
        const uint32_t n = r.U8();
        if (block < 1 || block > kBlocks || n > static_cast<uint32_t>(kMaxParamValues))
            return r.Fail();
        std::vector<uint32_t> words(n);
        for (auto& v : words)
            v = r.U32();
        if (!s.params.emplace(std::make_pair(block, param), std::move(words)).second)
            return r.Fail(); // the same parameter twice
    }
    return r.Bytes(s.mem.data(), s.mem.size());
}

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

// --- Z-Wave controller ---

std::vector<Report> CSimProcessor::HandleZWave(const Report& in) {
    if (in[3] == kZwAck || in[3] == kZwNak || in[3] == kZwCan)
        return {ZWaveShort(kZwAck)}; // answered like every report, so that the next write goes at once
    const int n = in[4] - 2;
    if (in[3] != kZwSof || n < 1 || n > kZwMaxData)
        return {ZWaveShort(kZwNak)};
    uint8_t sum = 0xFF ^ in[4] ^ in[5];
    for (int i = 0; i < n; ++i)
        sum ^= in[6 + i];
    if (sum != in[6 + n])
        return {ZWaveShort(kZwNak)};
    std::vector<Report> out{ZWaveShort(kZwAck)};
    const std::vector<Report> rest = ZWaveFunction(std::vector<uint8_t>(&in[6], &in[6] + n));
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

std::vector<Report> CSimProcessor::ZWaveFunction(const std::vector<uint8_t>& d) {
    if (auto held = ZWaveHeld(d))
        return *held;
    auto at = [&](size_t i) -> uint8_t { return i < d.size() ? d[i] : 0; };
    switch (d[0]) {
    case kZwGetInitData: {
        std::vector<uint8_t> data{kZwGetInitData, 0x05, 0x08, kZwMaskBytes};
        data.resize(4 + kZwMaskBytes);
        auto mark = [&](int id) { data[4 + (id - 1) / 8] |= static_cast<uint8_t>(1 << ((id - 1) % 8)); };
        mark(kSimControllerNode);
        for (const auto& node : m_nodes)
            mark(node.first);
        return {ZWaveFrame(kZwResponse, data)};
    }
    case kZwSendData: {
        // node, command length L, L command bytes, transmit options, callback id
        if (d.size() < 3 || d.size() < 5u + d[2])
            return {}; // a bare 0x13 aborts a transmission; nothing is pending
        const int id = d[1];
        const size_t len = d[2];
        const uint8_t callback = d[4 + len];
        auto it = m_nodes.find(id);
        if (it == m_nodes.end())
            return {
                ZWaveFrame(kZwRequest, {kZwSendData, callback, 0x01})}; // no acknowledgement from the node
        std::vector<Report> out{ZWaveFrame(kZwRequest, {kZwSendData, callback, 0x00})};
        SimNode& node = it->second;
        if (len >= 3 && d[3] == kZwBasic && d[4] == kZwBasicSet) {
            const uint8_t v = d[5];
            if (node.nKind == kSimPlugDimmer)
                node.nLevel = std::min<uint8_t>(v, 99);
            else
                node.nLevel = v ? 0xFF : 0;
        } else if (len >= 2 && d[3] == kZwBasic && d[4] == kZwBasicGet) {
            out.push_back(ZWaveFrame(kZwRequest, {kZwAppCommand, 0x00, static_cast<uint8_t>(id), 3, kZwBasic,
                                                  kZwBasicReport, node.nLevel}));
        }
        return out;
    }
    case kZwAddNode:
    case kZwRemoveNode: {
        const uint8_t fn = d[0], callback = at(2);
        if ((at(1) & 0x0F) == kZwModeStop)
            return {};
        // Ready at once, and the plug's button is pressed at once.
        std::vector<Report> out{ZWaveFrame(kZwRequest, {fn, callback, 0x01, 0x00})};
        int id = 0;
        if (fn == kZwAddNode) {
            id = FreeNodeId();
            if (id)
                m_nodes[id] = SimNode{};
        } else if (!m_nodes.empty()) {
            id = m_nodes.rbegin()->first;
            m_nodes.erase(id);
        }
        const uint8_t done = fn == kZwAddNode ? 0x05 : 0x06;
        out.push_back(
            ZWaveFrame(kZwRequest, {fn, callback, id ? done : uint8_t{0x07}, static_cast<uint8_t>(id)}));
        return out;
    }
    case kZwSetDefault:
        ResetNetwork();
        return {ZWaveFrame(kZwRequest, {kZwSetDefault, at(1)})};
    default:
        return {};
    }
}

void CSimProcessor::ResetNetwork() {
    m_nodes.clear();
    m_silentNodes.clear();
    m_nPendingCallback = -1;
    m_byModeFn = 0;
}

// The test hooks' part of a request: silent nodes, aborts, and modes held for a button. Nothing when
// the request takes its ordinary course.
std::optional<std::vector<Report>> CSimProcessor::ZWaveHeld(const std::vector<uint8_t>& d) {
    const uint8_t fn = d[0];
    if (fn == kZwSendData && d.size() == 1) {
        if (m_nPendingCallback < 0)
            return std::nullopt;
        const auto callback = static_cast<uint8_t>(m_nPendingCallback);
        m_nPendingCallback = -1;
        return std::vector<Report>{ZWaveFrame(kZwRequest, {kZwSendData, callback, 0x01})};
    }
    if (fn == kZwSendData && d.size() >= 5u + (d.size() > 2 ? d[2] : 0) && m_silentNodes.count(d[1])) {
        m_nPendingCallback = d[4 + d[2]];
        return std::vector<Report>{};
    }
    if (fn != kZwAddNode && fn != kZwRemoveNode)
        return std::nullopt;
    if (d.size() > 1 && (d[1] & 0x0F) == kZwModeStop) {
        m_byModeFn = 0;
        return std::nullopt;
    }
    if (!m_bHoldForButton)
        return std::nullopt;
    m_byModeFn = fn;
    m_byModeCallback = d.size() > 2 ? d[2] : 0;
    return std::vector<Report>{ZWaveFrame(kZwRequest, {fn, m_byModeCallback, 0x01, 0x00})}; // ready
}

std::vector<Report> CSimProcessor::PressPlugButton(int id, uint8_t kind) {
    const uint8_t fn = m_byModeFn;
    if (!fn)
        return {};
    m_byModeFn = 0;
    if (fn == kZwAddNode) {
        if (id == 0)
            id = FreeNodeId();
        if (id && !m_nodes.count(id) && AddNode(id, kind))
            return {ZWaveFrame(kZwRequest, {fn, m_byModeCallback, 0x05, static_cast<uint8_t>(id)})};
    } else {
        if (id == 0 && !m_nodes.empty())
            id = m_nodes.rbegin()->first;
        if (m_nodes.count(id)) {
            RemoveNode(id);
            return {ZWaveFrame(kZwRequest, {fn, m_byModeCallback, 0x06, static_cast<uint8_t>(id)})};
        }
    }
    return {ZWaveFrame(kZwRequest, {fn, m_byModeCallback, 0x07, 0x00})};
}

Report CSimProcessor::ZWaveRequest(const std::vector<uint8_t>& data) {
    return ZWaveFrame(kZwRequest, data);
}

void CSimProcessor::SetNodeSilent(int id, bool silent) {
    if (silent)
        m_silentNodes.insert(id);
    else
        m_silentNodes.erase(id);
}

int CSimProcessor::FreeNodeId() const {
    for (int id = 2; id <= kSimMaxNode; ++id)
        if (!m_nodes.count(id))
            return id;
    return 0;
}

std::vector<int> CSimProcessor::Nodes() const {
    std::vector<int> ids;
    for (const auto& node : m_nodes)
        ids.push_back(node.first);
    return ids;
}

std::optional<SimNode> CSimProcessor::Node(int id) const {
    auto it = m_nodes.find(id);
    return it == m_nodes.end() ? std::nullopt : std::optional<SimNode>(it->second);
}

bool CSimProcessor::AddNode(int id, uint8_t kind) {
    if (id < 2 || id > kSimMaxNode)
        return false;
    m_nodes[id] = SimNode{kind, 0};
    return true;
}

void CSimProcessor::RemoveNode(int id) {
    m_nodes.erase(id);
}

std::optional<Report> CSimProcessor::PressKey(uint8_t code) {
    if (!m_nLearnKey)
        return std::nullopt;
    Report r = NewReport(CMD_LEARN_KEY);
    r[2] = m_remote[0];
    r[3] = static_cast<uint8_t>(m_nLearnKey);
    r[4] = code;
    m_remote[m_nLearnKey] = code;
    m_nLearnKey = 0;
    return r;
}

// --- state file ---
//
// "M7QSIMST", format version (u32), payload length (u32), payload, FNV-1a of the payload (u32); all
// little-endian. Payload: current mode (u8); the running settings, then modes 0..3, each as
// parameter count (u16), per parameter block, parameter, word count (u8 each) and the words (u32),
// then the 1307 memory bytes; machine settings (13); remote keys (18); four mode names as unit
// count (u8) and units (u16); plug memory (6748); plug count (u8) and per plug id, kind, level (u8).

std::vector<uint8_t> CSimProcessor::SaveStateBytes() const {
    CWriter p;
    p.U8(static_cast<uint32_t>(m_nCurMode));
    WriteSettings(p, m_current);
    for (const auto& mode : m_modes)
        WriteSettings(p, mode);
    p.Bytes(m_machine.data(), m_machine.size());
    p.Bytes(m_remote.data(), m_remote.size());
    for (const auto& name : m_modeNames) {
        p.U8(static_cast<uint32_t>(name.size()));
        for (char16_t u : name)
            p.U16(u);
    }
    p.Bytes(m_plugMem.data(), m_plugMem.size());
    p.U8(static_cast<uint32_t>(m_nodes.size()));
    for (const auto& [id, node] : m_nodes) {
        p.U8(static_cast<uint32_t>(id));
        p.U8(node.nKind);
        p.U8(node.nLevel);
    }

    const std::vector<uint8_t>& payload = p.Data();
    CWriter f;
    f.Bytes(reinterpret_cast<const uint8_t*>(kMagic), sizeof kMagic);
    f.U32(kStateVersion);
    f.U32(static_cast<uint32_t>(payload.size()));
    f.Bytes(payload.data(), payload.size());
    f.U32(Fnv1a(payload.data(), payload.size()));
    return std::move(f.Data());
}

bool CSimProcessor::LoadStateBytes(const std::vector<uint8_t>& bytes, std::string& error) {
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        error = "not a simulator state file";
        return false;
    }
    if (bytes.size() < kHeaderSize + kTrailerSize) {
        error = "state file truncated";
        return false;
    }
    CReader header(bytes.data() + sizeof kMagic, 8);
    const uint32_t version = header.U32();
    const uint32_t length = header.U32();
    if (version != kStateVersion) {
        error = "state file version " + std::to_string(version) + " not supported";
        return false;
    }
    if (length != bytes.size() - kHeaderSize - kTrailerSize) {
        error = length > bytes.size() - kHeaderSize - kTrailerSize ? "state file truncated"
                                                                   : "state file has trailing bytes";
        return false;
    }
    const uint8_t* payload = bytes.data() + kHeaderSize;
    CReader trailer(payload + length, kTrailerSize);
    if (trailer.U32() != Fnv1a(payload, length)) {
        error = "state file damaged (checksum)";
        return false;
    }

    // Parse into a copy and take it only when everything is valid.
    error = "state file holds invalid data";
    CSimProcessor next;
    CReader r(payload, length);
    next.m_nCurMode = static_cast<int>(r.U8());
    if (next.m_nCurMode >= kSimModeCount)
        return false;
    next.m_current = SimSettings{};
    if (!ReadSettings(r, next.m_current))
        return false;
    for (auto& mode : next.m_modes) {
        mode = SimSettings{};
        if (!ReadSettings(r, mode))
            return false;
    }
    r.Bytes(next.m_machine.data(), next.m_machine.size());
    r.Bytes(next.m_remote.data(), next.m_remote.size());
    for (auto& name : next.m_modeNames) {
        const uint32_t units = r.U8();
        if (units > static_cast<uint32_t>(kSimModeNameUnits))
            return false;
        name.clear();
        for (uint32_t i = 0; i < units; ++i)
            name.push_back(static_cast<char16_t>(r.U16()));
    }
    r.Bytes(next.m_plugMem.data(), next.m_plugMem.size());
    next.m_nodes.clear();
    const uint32_t count = r.U8();
    for (uint32_t i = 0; i < count && r.ok(); ++i) {
        const int id = static_cast<int>(r.U8());
        const auto kind = static_cast<uint8_t>(r.U8());
        const auto level = static_cast<uint8_t>(r.U8());
        if (id < 2 || id > kSimMaxNode || (kind != kSimPlugSwitch && kind != kSimPlugDimmer) ||
            !next.m_nodes.emplace(id, SimNode{kind, level}).second)
            return false;
    }
    if (!r.ok() || !r.AtEnd())
        return false;

    error.clear();
    next.m_nLiveTick = m_nLiveTick;
    *this = std::move(next);
    return true;
}

bool CSimProcessor::SaveState(const std::string& path, std::string& error) const {
    const std::vector<uint8_t> bytes = SaveStateBytes();
    // Write beside the target and rename, so that a crash never leaves half a state behind.
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.good()) {
            error = "cannot write " + temp;
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (!ec)
        return true;
    error = "cannot write " + path + ": " + ec.message();
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return false;
}

bool CSimProcessor::LoadState(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (LoadStateBytes(bytes, error))
        return true;
    error = path + ": " + error;
    return false;
}
