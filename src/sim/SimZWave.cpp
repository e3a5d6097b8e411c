// The simulated Z-Wave controller: its serial frames, the network of plug nodes, inclusion and
// exclusion, and the test hooks (silent nodes, modes held for a plug's button).
#include "sim/SimProcessor.h"

#include "sim/SimInternal.h"

#include <algorithm>

using namespace sim;

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

} // namespace

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
