#include "sim/SimFaultList.h"

#include <charconv>
#include <cstdint>
#include <set>

namespace {

enum class Kind { Flag, Whole, Probability };

struct Item {
    const char* szName;
    Kind kind;
    int64_t nMin = 0, nMax = 0; // whole numbers only
    const char* szWhat = "";    // what the value is, for the error text
    const char* szArg = "";     // its placeholder in the usage texts
};

// In the order FormatSimFaults writes them.
constexpr Item kItems[] = {
    {"latency", Kind::Whole, 0, 60000, "milliseconds from 0 to 60000", "MS"},
    {"silent", Kind::Flag},
    {"drop", Kind::Probability, 0, 0, "a probability from 0 to 1", "P"},
    {"drop-every", Kind::Whole, 1, 1000000000, "a whole number from 1", "N"},
    {"garbage-every", Kind::Whole, 1, 1000000000, "a whole number from 1", "N"},
    {"any-code", Kind::Flag},
    {"wrong-model", Kind::Flag},
    {"model-second-try", Kind::Flag},
    {"version", Kind::Whole, 1, 255, "a command-set version from 1 to 255", "N"},
    {"erased", Kind::Flag},
    {"unplug-after", Kind::Whole, 1, 1000000000, "a whole number of reports from 1", "N"},
    {"replug-after", Kind::Whole, 1, 600000, "milliseconds from 1 to 600000", "MS"},
    {"learn-key", Kind::Whole, 1, 600000, "milliseconds from 1 to 600000", "MS"},
    {"plug-report", Kind::Whole, 2, 7, "a node report value from 2 to 7", "V"},
    {"late-button", Kind::Whole, 1, 600000, "milliseconds from 1 to 600000", "MS"},
    {"silent-plug", Kind::Whole, 2, 232, "a plug node from 2 to 232", "N"},
    {"plug-garbage-every", Kind::Whole, 1, 1000000000, "a whole number from 1", "N"},
    {"drift-after", Kind::Whole, 1, 600000, "milliseconds from 1 to 600000", "MS"},
    {"seed", Kind::Whole, 0, UINT32_MAX, "a whole number from 0 to 4294967295", "N"},
};

const Item* Find(std::string_view name) {
    for (const Item& item : kItems)
        if (name == item.szName)
            return &item;
    return nullptr;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool Whole(std::string_view s, int64_t min, int64_t max, int64_t& value) {
    const char* end = s.data() + s.size();
    auto [at, ec] = std::from_chars(s.data(), end, value);
    return !s.empty() && ec == std::errc{} && at == end && value >= min && value <= max;
}

bool Probability(std::string_view s, double& value) {
    const char* end = s.data() + s.size();
    auto [at, ec] = std::from_chars(s.data(), end, value, std::chars_format::fixed);
    return !s.empty() && ec == std::errc{} && at == end && value >= 0.0 && value <= 1.0;
}

void Set(SimFaults& f, std::string_view name, int64_t n, double p) {
    if (name == "latency")
        f.nLatencyMs = static_cast<int>(n);
    else if (name == "silent")
        f.bSilent = true;
    else if (name == "drop")
        f.fDropProbability = p;
    else if (name == "drop-every")
        f.nDropEvery = static_cast<int>(n);
    else if (name == "garbage-every")
        f.nGarbageEvery = static_cast<int>(n);
    else if (name == "any-code")
        f.bGarbageAnyCode = true;
    else if (name == "wrong-model")
        f.bWrongModel = true;
    else if (name == "model-second-try")
        f.bModelOnSecondAttempt = true;
    else if (name == "version")
        f.nCmdVersion = static_cast<int>(n);
    else if (name == "erased")
        f.bErasedMemory = true;
    else if (name == "unplug-after")
        f.nUnplugAfter = static_cast<int>(n);
    else if (name == "replug-after")
        f.nReplugAfterMs = static_cast<int>(n);
    else if (name == "learn-key")
        f.nLearnKeyAfterMs = static_cast<int>(n);
    else if (name == "plug-report")
        f.nPlugReport = static_cast<int>(n);
    else if (name == "late-button")
        f.nLateButtonMs = static_cast<int>(n);
    else if (name == "silent-plug")
        f.nSilentPlug = static_cast<int>(n);
    else if (name == "plug-garbage-every")
        f.nPlugGarbageEvery = static_cast<int>(n);
    else if (name == "drift-after")
        f.nDriftAfterMs = static_cast<int>(n);
    else if (name == "seed")
        f.nSeed = static_cast<uint32_t>(n);
}

std::string KnownItems() {
    std::string s;
    for (const Item& item : kItems) {
        if (!s.empty())
            s += ", ";
        s += item.szName;
        if (item.kind != Kind::Flag)
            s += "=…";
    }
    return s;
}

} // namespace

bool ParseSimFaults(std::string_view list, SimFaults& faults, std::string& error) {
    if (Trim(list).empty()) {
        error = "the fault list is empty";
        return false;
    }
    SimFaults f = faults;
    std::set<std::string_view> seen;
    while (true) {
        const size_t comma = list.find(',');
        const std::string_view raw = list.substr(0, comma);
        const std::string_view text = Trim(raw);
        const std::string quoted = "\"" + std::string(text) + "\"";
        if (text.empty()) {
            error = "an empty item in the fault list";
            return false;
        }
        const size_t eq = text.find('=');
        const std::string_view name = text.substr(0, eq);
        const Item* item = Find(name);
        if (!item) {
            error = "unknown fault " + quoted + " (faults: " + KnownItems() + ")";
            return false;
        }
        if (!seen.insert(item->szName).second) {
            error = "fault " + quoted + ": " + item->szName + " is given twice";
            return false;
        }
        int64_t n = 0;
        double p = 0.0;
        if (item->kind == Kind::Flag) {
            if (eq != std::string_view::npos) {
                error = "fault " + quoted + ": " + item->szName + " takes no value";
                return false;
            }
        } else {
            const std::string_view value = eq == std::string_view::npos ? "" : text.substr(eq + 1);
            const bool ok =
                item->kind == Kind::Whole ? Whole(value, item->nMin, item->nMax, n) : Probability(value, p);
            if (!ok) {
                error = "fault " + quoted + ": " + item->szName + " takes " + item->szWhat;
                return false;
            }
        }
        Set(f, item->szName, n, p);
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    if (f.bGarbageAnyCode && f.nGarbageEvery == 0) {
        error = "fault \"any-code\" goes with garbage-every=N";
        return false;
    }
    if (f.nReplugAfterMs && !f.nUnplugAfter) {
        error = "fault \"replug-after\" goes with unplug-after=N";
        return false;
    }
    faults = f;
    return true;
}

std::string FormatSimFaults(const SimFaults& f) {
    std::string s;
    auto add = [&s](const std::string& item) {
        if (!s.empty())
            s += ',';
        s += item;
    };
    if (f.nLatencyMs)
        add("latency=" + std::to_string(f.nLatencyMs));
    if (f.bSilent)
        add("silent");
    if (f.fDropProbability > 0.0) {
        char buf[32];
        const auto [end, ec] =
            std::to_chars(buf, buf + sizeof buf, f.fDropProbability, std::chars_format::fixed);
        add("drop=" + std::string(buf, ec == std::errc{} ? end : buf));
    }
    if (f.nDropEvery)
        add("drop-every=" + std::to_string(f.nDropEvery));
    if (f.nGarbageEvery)
        add("garbage-every=" + std::to_string(f.nGarbageEvery));
    if (f.bGarbageAnyCode && f.nGarbageEvery)
        add("any-code");
    if (f.bWrongModel)
        add("wrong-model");
    if (f.bModelOnSecondAttempt)
        add("model-second-try");
    if (f.nCmdVersion)
        add("version=" + std::to_string(f.nCmdVersion));
    if (f.bErasedMemory)
        add("erased");
    if (f.nUnplugAfter)
        add("unplug-after=" + std::to_string(f.nUnplugAfter));
    if (f.nReplugAfterMs && f.nUnplugAfter)
        add("replug-after=" + std::to_string(f.nReplugAfterMs));
    const std::pair<const char*, int> plugs[] = {{"learn-key", f.nLearnKeyAfterMs},
                                                 {"plug-report", f.nPlugReport},
                                                 {"late-button", f.nLateButtonMs},
                                                 {"silent-plug", f.nSilentPlug},
                                                 {"plug-garbage-every", f.nPlugGarbageEvery}};
    for (auto [name, value] : plugs)
        if (value)
            add(name + ("=" + std::to_string(value)));
    if (f.nDriftAfterMs)
        add("drift-after=" + std::to_string(f.nDriftAfterMs));
    if (f.nSeed != SimFaults{}.nSeed)
        add("seed=" + std::to_string(f.nSeed));
    return s;
}

std::string SimFaultSummary() {
    std::string s;
    for (const Item& item : kItems)
        s += (s.empty() ? "" : ", ") + std::string(item.szName) +
             (item.kind == Kind::Flag ? std::string() : "=" + std::string(item.szArg));
    return s;
}

std::vector<std::string> SimFaultItems() {
    std::vector<std::string> items;
    for (const Item& item : kItems)
        items.push_back(std::string(item.szName) + (item.kind == Kind::Flag ? "" : "="));
    return items;
}

std::string FormatSimCounters(const SimCounters& c) {
    return std::to_string(c.nReceivedTotal) + " reports received, " + std::to_string(c.nReplies) +
           " replies, " + std::to_string(c.nDropped) + " dropped, " + std::to_string(c.nGarbage) +
           " garbage, " + std::to_string(c.nDelivered) + " delivered";
}
