#include "files/FilterText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IStartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Text as bytes of ASCII lines: a UTF-8 byte-order mark dropped, UTF-16 with a byte-order mark
// narrowed (characters outside ASCII become '?'; only comments and headers hold them).
std::string Narrow(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        return std::string(text.substr(3));
    const bool le = text.size() >= 2 && text.substr(0, 2) == "\xFF\xFE";
    const bool be = text.size() >= 2 && text.substr(0, 2) == "\xFE\xFF";
    if (!le && !be)
        return std::string(text);
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 2; i + 1 < text.size(); i += 2) {
        const unsigned lo = static_cast<unsigned char>(text[le ? i : i + 1]);
        const unsigned hi = static_cast<unsigned char>(text[le ? i + 1 : i]);
        const unsigned unit = hi << 8 | lo;
        out += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return out;
}

// A plain decimal number: sign, digits, one decimal point (or comma), an exponent. No "nan", "inf" or hex.
std::optional<double> ParseNumber(std::string_view tok) {
    std::string s(tok);
    if (!s.empty() && s[0] == '+')
        s.erase(0, 1);
    if (s.find('.') == std::string::npos)
        std::replace(s.begin(), s.end(), ',', '.');
    size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        const size_t start = j;
        while (j < s.size() && IsDigit(s[j]))
            ++j;
        if (j == start)
            return std::nullopt;
        i = j;
    }
    if (i != s.size())
        return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Words split at blanks; a number with its unit (Hz, kHz, dB) glued on ("63Hz", "-5.0dB") becomes two words.
std::vector<std::string> Words(std::string_view s) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsSpace(s[i]))
            ++i;
        const size_t start = i;
        while (i < s.size() && !IsSpace(s[i]))
            ++i;
        if (i == start)
            break;
        const std::string_view w = s.substr(start, i - start);
        size_t unitAt = w.size();
        while (unitAt > 0 && IsAlpha(w[unitAt - 1]))
            --unitAt;
        const std::string_view unit = w.substr(unitAt);
        const bool known = IEquals(unit, "Hz") || IEquals(unit, "kHz") || IEquals(unit, "dB");
        if (unitAt > 0 && known && ParseNumber(w.substr(0, unitAt))) {
            words.emplace_back(w.substr(0, unitAt));
            words.emplace_back(w.substr(unitAt));
        } else {
            words.emplace_back(w);
        }
    }
    return words;
}

struct TypeName {
    const char* szName;
    int nType;
};
constexpr TypeName kTypeNames[] = {
    {"PK", EQ_PEQ}, {"PEQ", EQ_PEQ}, {"LS", EQ_LS}, {"LSC", EQ_LS}, {"LSQ", EQ_LS}, {"HS", EQ_HS},
    {"HSC", EQ_HS}, {"HSQ", EQ_HS},  {"LP", EQ_LP}, {"LPQ", EQ_LP}, {"HP", EQ_HP},  {"HPQ", EQ_HP},
};

std::optional<int> TypeOf(std::string_view word) {
    for (const TypeName& t : kTypeNames)
        if (IEquals(word, t.szName))
            return t.nType;
    return std::nullopt;
}

bool CarriesGain(int type) {
    return type == EQ_PEQ || type == EQ_LS || type == EQ_HS;
}

// Q of a bandwidth in octaves between the half-gain points.
double QOfOctaves(double n) {
    const double p = std::exp2(n);
    return std::sqrt(p) / (p - 1);
}

// "BW/60 N": a bandwidth between the half-gain points of fc · N/60 · √2 Hz, as the programs that
// write it define it; so Q = fc / bandwidth.
double QOfBw60(double n) {
    return 60 / (n * std::numbers::sqrt2);
}

// The shelf Q that gives a fixed-slope shelf of `gainDb`. 6 dB per octave: Q = 1 / (√A + 1/√A),
// A = 10^(G/40), at which the processor's second-order shelf is exactly the first-order shelf (its
// numerator and denominator share a root). 12 dB per octave: Q = 1/√2, the steepest shelf that
// rises without overshoot.
double ShelfQOfSlope(int slopeDb, double gainDb) {
    if (slopeDb == 12)
        return std::numbers::sqrt2 / 2;
    const double rootA = std::pow(10.0, gainDb / 80);
    return 1 / (rootA + 1 / rootA);
}

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// Fixed decimals whatever the process locale (the window's locale may use a decimal comma).
std::string Fixed(double v, int decimals) {
    if (std::fabs(v) < 0.5 * std::pow(10.0, -decimals))
        v = 0; // no "-0.0"
    char buf[48];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

// "Filter", an optional number, then ':'. Returns false for lines of any other kind; `colon` tells
// a line that starts like a filter but has no colon.
bool SplitFilterLine(std::string_view line, std::optional<int>& number, std::string_view& body,
                     bool& filterLike) {
    filterLike = false;
    if (!IStartsWith(line, "filter"))
        return false;
    std::string_view rest = line.substr(6);
    size_t i = 0;
    while (i < rest.size() && IsSpace(rest[i]))
        ++i;
    size_t digitsAt = i;
    while (i < rest.size() && IsDigit(rest[i]))
        ++i;
    const bool hasNumber = i > digitsAt;
    if (!hasNumber && (i >= rest.size() || rest[i] != ':'))
        return false; // "Filter Settings file" and such headers
    filterLike = true;
    if (hasNumber) {
        int n = 0;
        const auto [end, ec] = std::from_chars(rest.data() + digitsAt, rest.data() + i, n);
        number = (ec == std::errc() && end == rest.data() + i) ? std::optional<int>(n) : std::nullopt;
    }
    while (i < rest.size() && IsSpace(rest[i]))
        ++i;
    if (i >= rest.size() || rest[i] != ':')
        return false;
    body = rest.substr(i + 1);
    return true;
}

struct LineParse {
    bool bOk = false;
    std::string strError;
    bool bOn = false;
    EqBandSetting band;
    std::vector<std::string> warnings;
};

std::string HeldWarning(const char* what, double v, double lo, double hi, double held, const char* unit,
                        int decimals) {
    return std::string(what) + " " + Num(v) + unit + " is outside " + Fixed(lo, decimals) + unit + " to " +
           Fixed(hi, decimals) + unit + "; held to " + Fixed(held, decimals) + unit;
}

// Holds v within [lo, hi]; a warning names the value and the limit.
double Hold(double v, double lo, double hi, const char* what, const char* unit, int decimals,
            std::vector<std::string>& warnings) {
    const double held = std::clamp(v, lo, hi);
    if (held != v)
        warnings.push_back(HeldWarning(what, v, lo, hi, held, unit, decimals));
    return held;
}

// Q is held in the record's units: a Q that lands on the code of a limit (0.1 is code 100) is within
// it, and is then the limit itself, as the band editor holds it.
float HoldQ(double q, float lo, float hi, std::vector<std::string>& warnings) {
    const float f = static_cast<float>(q);
    const uint16_t code = EncodeBandQ(f);
    if (code >= EncodeBandQ(lo) && code <= EncodeBandQ(hi))
        return std::clamp(f, lo, hi);
    const float held = code < EncodeBandQ(lo) ? lo : hi;
    warnings.push_back(HeldWarning("Q", q, lo, hi, held, "", 3));
    return held;
}

LineParse ParseFilterBody(std::string_view body) {
    LineParse r;
    const std::vector<std::string> w = Words(body);
    if (w.empty()) {
        r.strError = "nothing after the colon; expected ON or OFF and a filter";
        return r;
    }
    if (IEquals(w[0], "ON")) {
        r.bOn = true;
    } else if (!IEquals(w[0], "OFF")) {
        r.strError = "expected ON or OFF, found \"" + w[0] + "\"";
        return r;
    }
    int type = EQ_OFF;
    int slope = 0; // a fixed-slope shelf: 6 or 12 dB per octave
    size_t at = 1;
    if (at < w.size()) {
        const std::string& t = w[at++];
        if (IEquals(t, "None")) {
            r.bOn = false;
        } else if (const std::optional<int> known = TypeOf(t)) {
            type = *known;
            // "LS 6dB", "HS 12dB": a slope instead of a Q.
            const bool plainShelf = IEquals(t, "LS") || IEquals(t, "HS");
            if (plainShelf && at + 1 < w.size() && IEquals(w[at + 1], "dB")) {
                if (const std::optional<double> v = ParseNumber(w[at])) {
                    if (*v != 6 && *v != 12) {
                        r.strError = t + " " + w[at] + "dB: the processor's shelves make " + t + " 6dB and " +
                                     t + " 12dB slopes, or a shelf with a Q (" + t + "C, " + t + "Q)";
                        return r;
                    }
                    slope = static_cast<int>(*v);
                    at += 2;
                }
            }
        } else if (!r.bOn && IsAlpha(t[0])) {
            // An off filter of a type we do not make changes nothing of it: it is only off.
        } else if (IsAlpha(t[0])) {
            r.strError =
                "the processor cannot make " + t +
                " filters; it makes PK (PEQ), LS (LSC, LSQ, LS 6dB, LS 12dB), HS (HSC, HSQ, HS 6dB, HS "
                "12dB), LP (LPQ) and HP (HPQ)";
            return r;
        } else {
            r.strError = "\"" + t + "\" is not a filter type";
            return r;
        }
    } else if (r.bOn) {
        r.strError = "ON needs a filter type";
        return r;
    }

    std::optional<double> fc, gain, q;
    while (at < w.size()) {
        const std::string key = w[at++];
        auto value = [&](const char* name) -> std::optional<double> {
            if (at >= w.size()) {
                r.strError = std::string(name) + " needs a number";
                return std::nullopt;
            }
            const std::optional<double> v = ParseNumber(w[at]);
            if (!v)
                r.strError = "\"" + w[at] + "\" after " + name + " is not a number";
            else
                ++at;
            return v;
        };
        auto twice = [&](const std::optional<double>& slot, const char* name) {
            if (slot)
                r.strError = std::string(name) + " is given twice";
            return slot.has_value();
        };
        // A bandwidth, in octaves or in sixtieths: the Q it stands for.
        auto bandwidth = [&](const char* name, double most, double (*toQ)(double)) {
            if (twice(q, "Q or BW"))
                return false;
            const std::optional<double> n = value(name);
            if (!n)
                return false;
            if (!(*n > 0) || *n > most) {
                r.strError = std::string("a bandwidth of ") + name + " " + Num(*n) + " cannot be made";
                return false;
            }
            q = toQ(*n);
            return true;
        };
        if (IEquals(key, "Fc")) {
            if (twice(fc, "Fc") || !(fc = value("Fc")))
                return r;
            if (at < w.size() && IEquals(w[at], "Hz"))
                ++at;
            else if (at < w.size() && IEquals(w[at], "kHz"))
                ++at, *fc *= 1000;
        } else if (IEquals(key, "Gain")) {
            if (twice(gain, "Gain") || !(gain = value("Gain")))
                return r;
            if (at < w.size() && IEquals(w[at], "dB"))
                ++at;
        } else if (IEquals(key, "Q")) {
            if (twice(q, "Q") || !(q = value("Q")))
                return r;
        } else if (IEquals(key, "BW")) {
            if (at < w.size() && IEquals(w[at], "Oct"))
                ++at;
            if (!bandwidth("BW Oct", 10, QOfOctaves))
                return r;
        } else if (IEquals(key, "BW/60")) {
            if (!bandwidth("BW/60", 600, QOfBw60))
                return r;
        } else {
            r.strError = "\"" + key + "\" is not Fc, Gain, Q, BW Oct or BW/60";
            return r;
        }
    }

    if (r.bOn) {
        const char* name = type == EQ_PEQ  ? "PK"
                           : type == EQ_LS ? "LS"
                           : type == EQ_HS ? "HS"
                           : type == EQ_LP ? "LP"
                                           : "HP";
        if (!fc) {
            r.strError = std::string(name) + " needs Fc";
            return r;
        }
        if (CarriesGain(type) && !gain) {
            r.strError = std::string(name) + " needs Gain";
            return r;
        }
        if (type == EQ_PEQ && !q) {
            r.strError = "PK needs Q (or BW Oct, BW/60)";
            return r;
        }
        if (!CarriesGain(type) && gain && *gain != 0)
            r.warnings.push_back(std::string(name) + " has no gain; Gain " + Num(*gain) + " dB is read past");
        if (slope && q)
            r.warnings.push_back(std::string(name) + " " + std::to_string(slope) +
                                 "dB has the Q of its slope; the Q given is read past");
        if (!q || slope)
            q = 0.707; // the shelf and pass filters' usual form; a slope sets its own below
    }

    EqBandSetting& b = r.band;
    b.nType = r.bOn ? type : EQ_OFF;
    // An off band keeps the gain it has unless the line gives one: it shapes nothing while off.
    b.bKeepGain = b.nType == EQ_OFF && !gain;
    if (gain && (b.nType == EQ_OFF || CarriesGain(b.nType)))
        b.fGain = static_cast<float>(Hold(*gain, kBandGainMin, kBandGainMax, "Gain", " dB", 1, r.warnings));
    if (fc)
        b.fFreq = static_cast<float>(Hold(*fc, kBandFreqMin, kBandFreqMax, "Fc", " Hz", 0, r.warnings));
    if (slope)
        q = ShelfQOfSlope(slope, b.fGain);
    if (q) {
        // An off band may keep a PEQ's Q: it shapes nothing while off.
        const float qMax = b.nType == EQ_OFF ? kBandQMaxPeq : BandQMax(b.nType);
        b.fQ = HoldQ(*q, kBandQMin, qMax, r.warnings);
    }
    r.bOk = true;
    return r;
}

} // namespace

std::string FormatFilterNote(const FilterTextNote& note) {
    if (note.nLine <= 0)
        return note.strText;
    return "line " + std::to_string(note.nLine) + ": " + note.strText;
}

FilterTextResult ParseFilterText(std::string_view text, int nBands) {
    FilterTextResult result;
    auto fail = [&](int line, std::string why) {
        result.error = {line, std::move(why)};
        result.bands.clear();
        result.bOk = false;
        return result;
    };
    if (nBands <= 0)
        return fail(0, "the equaliser has no bands");
    const std::string all = Narrow(text);
    std::vector<EqBandSetting> bands;
    int lineNo = 0;
    size_t from = 0;
    while (from <= all.size()) {
        size_t to = all.find('\n', from);
        if (to == std::string::npos)
            to = all.size();
        std::string_view line = std::string_view(all).substr(from, to - from);
        from = to + 1;
        ++lineNo;
        if (line.find('\0') != std::string_view::npos)
            return fail(lineNo, "this is not a text file");
        if (const size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        line = Trim(line);
        if (line.empty())
            continue;
        if (IStartsWith(line, "preamp") && Trim(line.substr(6)).starts_with(':')) {
            // "Preamp: -5.5 dB": the headroom the filters need. Several lines add up.
            const std::vector<std::string> w = Words(Trim(line.substr(6)).substr(1));
            const std::optional<double> db = w.empty() ? std::nullopt : ParseNumber(w[0]);
            if (!db || w.size() > 2 || (w.size() == 2 && !IEquals(w[1], "dB")))
                return fail(lineNo, "a Preamp line takes a gain in dB, such as \"Preamp: -5.5 dB\"");
            result.fPreampDb += *db;
            result.nPreampLine = lineNo;
            continue;
        }
        std::optional<int> number;
        std::string_view body;
        bool filterLike = false;
        if (!SplitFilterLine(line, number, body, filterLike)) {
            if (filterLike)
                return fail(lineNo, "a filter line needs a colon after \"Filter\" and its number");
            if (result.nFilters > 0)
                return fail(lineNo,
                            "not a filter line (expected \"Filter N: ON PK Fc ... Hz Gain ... dB Q ...\")");
            continue; // a header line
        }
        LineParse p = ParseFilterBody(body);
        if (!p.bOk)
            return fail(lineNo, p.strError);
        const int position = result.nFilters++;
        if (position >= nBands) {
            if (p.bOn)
                return fail(lineNo, "filter " + std::to_string(position + 1) +
                                        " is one too many: the equaliser has " + std::to_string(nBands) +
                                        " bands");
            result.warnings.push_back({lineNo, "filter " + std::to_string(position + 1) +
                                                   " is off and past the equaliser's " +
                                                   std::to_string(nBands) + " bands; read past"});
            continue;
        }
        if (number && *number != position + 1)
            result.warnings.push_back({lineNo, "numbered " + std::to_string(*number) + ", but it is filter " +
                                                   std::to_string(position + 1) + " and sets band " +
                                                   std::to_string(position + 1)});
        for (std::string& w : p.warnings)
            result.warnings.push_back({lineNo, std::move(w)});
        p.band.nLine = lineNo;
        bands.push_back(p.band);
    }
    if (result.nFilters == 0)
        return fail(0, "no filter lines (such as \"Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\")");
    bands.resize(nBands); // the rest: off, keeping frequency and Q
    result.bands = std::move(bands);
    result.bOk = true;
    return result;
}

std::vector<FilterTextNote> ImportNotes(const FilterTextResult& result, int eq) {
    std::vector<FilterTextNote> notes = result.warnings;
    if (result.nPreampLine > 0)
        notes.push_back({result.nPreampLine, PreampNote(eq, result.fPreampDb)});
    return notes;
}

std::string WriteFilterText(std::span<const EqBandSetting> bands, std::string_view title) {
    std::string out;
    if (!title.empty())
        out += "# " + std::string(title) + "\n";
    for (size_t i = 0; i < bands.size(); ++i) {
        const EqBandSetting& b = bands[i];
        const std::string head = "Filter " + std::to_string(i + 1) + ": ";
        const std::string fc = "Fc " + Fixed(std::trunc(b.fFreq), 0) + " Hz";
        const std::string gain = "Gain " + Fixed(b.fGain, 1) + " dB";
        const std::string q = "Q " + Fixed(b.fQ, 3);
        if (!b.strSpecial.empty()) {
            out += "# " + head + b.strSpecial + ", " + fc + ", " + q + ": no filter line can say this\n";
            if (i + 1 < bands.size())
                out += head + "OFF None\n"; // keeps the places of the bands after it
            continue;
        }
        // An off band keeps its values in the text when the text can hold them, so that importing
        // the export gives the same record back.
        const bool offInRange = b.fFreq >= kBandFreqMin && b.fFreq <= kBandFreqMax &&
                                EncodeBandQ(b.fQ) >= EncodeBandQ(kBandQMin) &&
                                EncodeBandQ(b.fQ) <= EncodeBandQ(kBandQMaxPeq) && b.fGain >= kBandGainMin &&
                                b.fGain <= kBandGainMax;
        switch (b.nType) {
        case EQ_OFF:
            out +=
                head + (offInRange ? "OFF PK " + fc + " " + gain + " " + q : std::string("OFF None")) + "\n";
            break;
        case EQ_PEQ:
            out += head + "ON PK " + fc + " " + gain + " " + q + "\n";
            break;
        case EQ_LS:
            out += head + "ON LSC " + fc + " " + gain + " " + q + "\n";
            break;
        case EQ_HS:
            out += head + "ON HSC " + fc + " " + gain + " " + q + "\n";
            break;
        case EQ_LP:
            out += head + "ON LPQ " + fc + " " + q + "\n";
            break;
        case EQ_HP:
            out += head + "ON HPQ " + fc + " " + q + "\n";
            break;
        default:
            out += head + "OFF None\n";
            break;
        }
    }
    return out;
}

FilterTextResult ReadFilterFile(const std::filesystem::path& path, int nBands) {
    std::vector<uint8_t> bytes;
    const FileResult read = ReadFileBytes(path, kFilterFileMaxBytes + 1, bytes, "filter file");
    FilterTextResult result;
    if (!read.bOk) {
        result.error = {0, read.strError};
        return result;
    }
    if (bytes.size() > kFilterFileMaxBytes) {
        result.error = {0, "filter file " + QuotedPath(path) + " is larger than " +
                               std::to_string(kFilterFileMaxBytes / 1024) + " KiB; it is not a filter list"};
        return result;
    }
    return ParseFilterText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                           nBands);
}

FileResult WriteFilterFile(const std::filesystem::path& path, std::string_view text) {
    return WriteFileAtomically(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
        "filter file");
}
