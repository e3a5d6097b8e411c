// The simulated processor's persistent state: one file image with a checksum.
#include "sim/SimProcessor.h"

#include "sim/SimInternal.h"

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace sim;

namespace {

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
