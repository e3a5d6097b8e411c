#include "files/Measurement.h"

#include "files/ModeFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace {

constexpr double kMaxHz = 1e6, kMaxDb = 1000; // beyond these no line is a measured response

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A plain decimal number with an optional sign and exponent; no "nan", "inf" or hex.
std::optional<double> Number(std::string_view tok) {
    if (!tok.empty() && tok.front() == '+')
        tok.remove_prefix(1);
    if (tok.empty() ||
        !(std::isdigit(static_cast<unsigned char>(tok.front())) || tok.front() == '-' || tok.front() == '.'))
        return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(tok.data(), tok.data() + tok.size(), v);
    if (ec != std::errc() || end != tok.data() + tok.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Fields of a line: split at every comma when the file is comma separated (an empty field stays a
// field, so the columns keep their places), else at runs of blanks.
std::vector<std::string_view> Fields(std::string_view line, bool commas) {
    std::vector<std::string_view> out;
    if (commas) {
        size_t from = 0;
        while (true) {
            const size_t at = line.find(',', from);
            out.push_back(Trim(line.substr(from, at == std::string_view::npos ? at : at - from)));
            if (at == std::string_view::npos)
                break;
            from = at + 1;
        }
        return out;
    }
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::string Lower(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != '"' && c != '\'')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct Columns {
    size_t nFreq = 0, nLevel = 1;
    std::string strLevel;
};

// The frequency column and the level column a header names.
Columns ColumnsOf(const std::vector<std::string_view>& header) {
    Columns c;
    std::vector<std::string> names;
    for (std::string_view h : header)
        names.push_back(Lower(h));
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].starts_with("freq") || names[i] == "hz" || names[i] == "f") {
            c.nFreq = i;
            break;
        }
    c.nLevel = c.nFreq + 1;
    for (const char* want : {"raw", "spl", "db", "magnitude", "mag", "level", "amplitude"}) {
        const auto it = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
            return n == want || n.starts_with(std::string(want) + "(");
        });
        if (it != names.end()) {
            c.nLevel = static_cast<size_t>(it - names.begin());
            break;
        }
    }
    if (c.nLevel < names.size())
        c.strLevel = names[c.nLevel];
    return c;
}

std::string Quoted(std::string_view s) {
    constexpr size_t kShown = 24;
    std::string out = "\"" + std::string(s.substr(0, kShown)) + (s.size() > kShown ? "...\"" : "\"");
    for (char& ch : out)
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) >= 0x7F)
            ch = '?';
    return out;
}

std::string Hz(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g Hz", v);
    return buf;
}

} // namespace

MeasurementResult ParseMeasurement(std::string_view text) {
    MeasurementResult r;
    auto fail = [&r](int line, std::string why) {
        r.error = {line, std::move(why)};
        r.response = {};
        return r;
    };
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    else if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        return fail(0, "the file is UTF-16 text; save it as UTF-8 or plain text");

    // A control character anywhere (a NUL of a binary file) refuses the file before any line is read.
    const auto control = std::find_if(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t' && c != '\r' && c != '\n') || u == 0x7F;
    });
    if (control != text.end())
        return fail(1 + static_cast<int>(std::count(text.begin(), control, '\n')), "this is not a text file");

    std::optional<Columns> columns;
    std::optional<bool> commas; // decided by the first line that is not a comment
    int lineNo = 0, lastLine = 0;
    size_t from = 0;
    while (from < text.size()) {
        size_t to = text.find('\n', from);
        if (to == std::string_view::npos)
            to = text.size();
        const std::string_view raw = text.substr(from, to - from);
        from = to + 1;
        ++lineNo;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '*' || line.front() == '#')
            continue;
        if (!commas)
            commas = line.find(',') != std::string_view::npos;
        const std::vector<std::string_view> fields = Fields(line, *commas);
        if (!Number(fields.front())) {
            if (!r.response.hz.empty())
                return fail(lineNo, Quoted(fields.front()) + " is not a frequency");
            if (fields.size() < 2)
                return fail(lineNo, "a header needs a frequency and a level column, found " + Quoted(line));
            columns = ColumnsOf(fields); // a header line; the last one before the data counts
            r.strColumn = columns->strLevel;
            continue;
        }
        const Columns c = columns.value_or(Columns{});
        if (fields.size() <= std::max(c.nFreq, c.nLevel))
            return fail(lineNo, "expected a frequency and a level, found " + Quoted(line));
        const std::optional<double> f = Number(fields[c.nFreq]);
        const std::optional<double> db = Number(fields[c.nLevel]);
        if (!f)
            return fail(lineNo, Quoted(fields[c.nFreq]) + " is not a frequency");
        if (!db)
            return fail(lineNo, Quoted(fields[c.nLevel]) + " is not a level in dB");
        if (!(*f > 0) || *f > kMaxHz)
            return fail(lineNo, "the frequency " + Hz(*f) + " is not above 0 Hz and up to 1 MHz");
        if (std::fabs(*db) > kMaxDb)
            return fail(lineNo, "the level " + Quoted(fields[c.nLevel]) + " dB is beyond +-1000 dB");
        if (!r.response.hz.empty() && !(*f > r.response.hz.back()))
            return fail(lineNo, "the frequency " + Hz(*f) + " does not increase (line " +
                                    std::to_string(lastLine) + " has " + Hz(r.response.hz.back()) + ")");
        r.response.hz.push_back(*f);
        r.response.db.push_back(*db);
        lastLine = lineNo;
    }
    if (r.response.hz.empty())
        return fail(0, "no measured points (lines of a frequency and a level in dB)");
    if (r.response.hz.size() == 1)
        return fail(lastLine, "only one measured point; a response needs two or more");
    r.bOk = true;
    return r;
}

MeasurementResult ReadMeasurementFile(const std::filesystem::path& path, const char* szWhat) {
    std::vector<uint8_t> bytes;
    const FileResult read = ReadFileBytes(path, kMeasurementFileMaxBytes + 1, bytes, szWhat);
    MeasurementResult r;
    if (!read.bOk) {
        r.error = {0, read.strError};
        return r;
    }
    if (bytes.size() > kMeasurementFileMaxBytes) {
        r.error = {0, std::string(szWhat) + " " + QuotedPath(path) + " is larger than " +
                          std::to_string(kMeasurementFileMaxBytes >> 20) +
                          " MiB; it is not a measured response"};
        return r;
    }
    return ParseMeasurement(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
