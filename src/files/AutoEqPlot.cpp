#include "files/AutoEqPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

namespace {

constexpr int kWidth = 960, kHeight = 660;
constexpr double kLeft = 72, kRight = 930;
constexpr double kTop0 = 96, kTop1 = 410; // the response panel
constexpr double kEq0 = 460, kEq1 = 610;  // the EQ panel
constexpr const char* kFont = "DejaVu Sans, Liberation Sans, Arial, sans-serif";
constexpr const char* kMeasuredColour = "#8d99ae";
constexpr const char* kTargetColour = "#2b2d42";
constexpr const char* kPredictedColour = "#e8710a";
constexpr const char* kEqColour = "#1a73e8";
constexpr const char* kLimitColour = "#d93025";

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

struct Frame {
    double fLoHz, fHiHz; // the x axis, logarithmic
    double fDb0, fDb1;   // the y axis, bottom and top values
    double fY0, fY1;     // its pixels, top and bottom
    double X(double hz) const {
        return kLeft +
               (std::log(hz) - std::log(fLoHz)) / (std::log(fHiHz) - std::log(fLoHz)) * (kRight - kLeft);
    }
    double Y(double db) const {
        const double y = fY1 - (db - fDb0) / (fDb1 - fDb0) * (fY1 - fY0);
        return std::clamp(y, fY0, fY1);
    }
};

std::string Text(double x, double y, const std::string& s, const char* anchor = "start", int size = 12,
                 const char* colour = "#444", const char* weight = "normal") {
    return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"" + std::to_string(size) +
           "\" fill=\"" + colour + "\" text-anchor=\"" + anchor + "\" font-weight=\"" + weight + "\">" +
           Escape(s) + "</text>\n";
}

std::string Line(double x0, double y0, double x1, double y1, const char* colour, double width,
                 const char* dash = nullptr) {
    std::string s = "<line x1=\"" + Num(x0) + "\" y1=\"" + Num(y0) + "\" x2=\"" + Num(x1) + "\" y2=\"" +
                    Num(y1) + "\" stroke=\"" + colour + "\" stroke-width=\"" + Num(width) + "\"";
    if (dash)
        s += std::string(" stroke-dasharray=\"") + dash + "\"";
    return s + "/>\n";
}

std::string Curve(const Frame& f, std::span<const double> hz, std::span<const double> db, const char* colour,
                  double width, const char* dash = nullptr) {
    std::string pts;
    for (size_t i = 0; i < hz.size() && i < db.size(); ++i)
        if (hz[i] >= f.fLoHz && hz[i] <= f.fHiHz)
            pts += Num(f.X(hz[i])) + "," + Num(f.Y(db[i])) + " ";
    std::string s = "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"" +
                    Num(width) + "\" stroke-linejoin=\"round\" points=\"" + pts + "\"";
    if (dash)
        s += std::string(" stroke-dasharray=\"") + dash + "\"";
    return s + "/>\n";
}

std::string HzLabel(double hz) {
    char buf[16];
    if (hz >= 1000)
        std::snprintf(buf, sizeof buf, "%gk", hz / 1000);
    else
        std::snprintf(buf, sizeof buf, "%g", hz);
    return buf;
}

// Frequency grid lines (1..9 per decade) and the labelled ones (1, 2, 5 per decade).
std::string FrequencyGrid(const Frame& f, bool labels) {
    std::string s;
    for (double decade = 1; decade <= 100000; decade *= 10)
        for (int m = 1; m <= 9; ++m) {
            const double hz = decade * m;
            if (hz < f.fLoHz || hz > f.fHiHz)
                continue;
            const bool major = m == 1 || m == 2 || m == 5;
            s += Line(f.X(hz), f.fY0, f.X(hz), f.fY1, major ? "#d0d4da" : "#eceef1", 1);
            if (labels && major)
                s += Text(f.X(hz), f.fY1 + 16, HzLabel(hz) + (hz == 1000 || hz == 10000 ? "Hz" : ""),
                          "middle", 11);
        }
    return s;
}

std::string LevelGrid(const Frame& f, double step, bool signedLabels) {
    std::string s;
    for (double db = std::ceil(f.fDb0 / step) * step; db <= f.fDb1 + 1e-9; db += step) {
        const bool zero = std::fabs(db) < 1e-9;
        s += Line(kLeft, f.Y(db), kRight, f.Y(db), zero && signedLabels ? "#aeb4bd" : "#e3e6ea", 1);
        char buf[24];
        std::snprintf(buf, sizeof buf, signedLabels && db > 0 ? "%+.0f dB" : "%.0f dB", zero ? 0.0 : db);
        s += Text(kLeft - 6, f.Y(db) + 4, buf, "end", 11);
    }
    return s;
}

void Span(std::span<const double> hz, std::span<const double> db, double lo, double hi, double& mn,
          double& mx) {
    for (size_t i = 0; i < hz.size() && i < db.size(); ++i)
        if (hz[i] >= lo && hz[i] <= hi) {
            mn = std::min(mn, db[i]);
            mx = std::max(mx, db[i]);
        }
}

} // namespace

std::string AutoEqSvg(const EqFitOutcome& o, const std::string& title) {
    const AutoEqInput& in = o.input;
    const AutoEqResult& r = o.fit;
    std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) +
                    "\" height=\"" + std::to_string(kHeight) + "\" viewBox=\"0 0 " + std::to_string(kWidth) +
                    " " + std::to_string(kHeight) + "\" font-family=\"" + kFont + "\">\n";
    s += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    s += Text(kLeft, 30, title, "start", 18, "#202124", "bold");
    if (!o.bOk || in.hz.empty())
        return s + Text(kLeft, 60, o.strError.empty() ? "nothing fitted" : o.strError) + "</svg>\n";
    s += Text(kLeft, 54,
              "before: " + EqFitErrorText(r.before) + "     after: " + EqFitErrorText(r.after) + "   (over " +
                  EqFitHz(o.limits.fLoHz) + " to " + EqFitHz(o.limits.fHiHz) + ")",
              "start", 13, "#3c4043");

    // An octave either side of the fit range, within what was measured.
    Frame top{std::max(in.hz.front(), o.limits.fLoHz / 2),
              std::min(in.hz.back(), o.limits.fHiHz * 2),
              0,
              0,
              kTop0,
              kTop1};
    double mn = HUGE_VAL, mx = -HUGE_VAL;
    Span(in.hz, in.measured, top.fLoHz, top.fHiHz, mn, mx);
    Span(in.hz, r.predicted, top.fLoHz, top.fHiHz, mn, mx);
    Span(in.hz, r.target, top.fLoHz, top.fHiHz, mn, mx);
    const double mid = (mn + mx) / 2, half = std::max(10.0, (mx - mn) / 2 + 2);
    top.fDb0 = std::floor((mid - half) / 5) * 5;
    top.fDb1 = std::ceil((mid + half) / 5) * 5;

    s += "<rect x=\"" + Num(top.X(o.limits.fLoHz)) + "\" y=\"" + Num(kTop0) + "\" width=\"" +
         Num(top.X(o.limits.fHiHz) - top.X(o.limits.fLoHz)) + "\" height=\"" + Num(kTop1 - kTop0) +
         "\" fill=\"#f3f7fd\"/>\n";
    s += FrequencyGrid(top, true);
    s += LevelGrid(top, 5, false);
    s += Text(top.X(o.limits.fLoHz) + 4, kTop0 + 14, "fit range", "start", 11, "#5f6368");
    s += Curve(top, in.hz, in.measured, kMeasuredColour, 1.6);
    s += Curve(top, in.hz, r.target, kTargetColour, 1.4, "7 5");
    s += Curve(top, in.hz, r.predicted, kPredictedColour, 2.2);
    s += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(kTop0) + "\" width=\"" + Num(kRight - kLeft) +
         "\" height=\"" + Num(kTop1 - kTop0) + "\" fill=\"none\" stroke=\"#9aa0a6\"/>\n";

    // Legend, top right.
    const double lx = kRight - 190, ly = kTop0 + 14;
    const struct {
        const char* szName;
        const char* szColour;
        const char* szDash;
    } legend[] = {{"measured", kMeasuredColour, nullptr},
                  {"target", kTargetColour, "7 5"},
                  {"predicted (with the EQ)", kPredictedColour, nullptr},
                  {"EQ curve (panel below)", kEqColour, nullptr}};
    s += "<rect x=\"" + Num(lx - 10) + "\" y=\"" + Num(ly - 12) +
         "\" width=\"196\" height=\"76\" fill=\"#ffffff\" "
         "fill-opacity=\"0.9\" stroke=\"#dadce0\"/>\n";
    for (size_t k = 0; k < std::size(legend); ++k) {
        const double y = ly + 17.0 * k;
        s += Line(lx, y - 4, lx + 26, y - 4, legend[k].szColour, 2.2, legend[k].szDash);
        s += Text(lx + 34, y, legend[k].szName, "start", 11, "#3c4043");
    }

    // The EQ curve and its bands.
    Frame eq{top.fLoHz, top.fHiHz, 0, 0, kEq0, kEq1};
    double lo = 0, hi = 0;
    Span(in.hz, r.eq, eq.fLoHz, eq.fHiHz, lo, hi);
    for (const BandValues& b : r.bands)
        if (b.nType != EQ_OFF) {
            lo = std::min(lo, static_cast<double>(b.fGain));
            hi = std::max(hi, static_cast<double>(b.fGain));
        }
    const double reach = std::max({6.0, -lo, hi, o.limits.fMaxBoostDb}) + 1;
    const double step = reach > 12 ? 6 : 3;
    eq.fDb0 = -std::ceil(reach / step) * step;
    eq.fDb1 = -eq.fDb0;
    s += FrequencyGrid(eq, true);
    s += LevelGrid(eq, step, true);
    s += Line(kLeft, eq.Y(o.limits.fMaxBoostDb), kRight, eq.Y(o.limits.fMaxBoostDb), kLimitColour, 1, "4 4");
    s += Text(kRight - 4, eq.Y(o.limits.fMaxBoostDb) - 4, "max boost " + EqFitDb(o.limits.fMaxBoostDb), "end",
              10, kLimitColour);
    s += Curve(eq, in.hz, r.eq, kEqColour, 2.2);
    int number = 0;
    for (const BandValues& b : r.bands) {
        ++number;
        if (b.nType == EQ_OFF || b.fFreq < eq.fLoHz || b.fFreq > eq.fHiHz)
            continue;
        const double x = eq.X(b.fFreq), y = eq.Y(b.fGain);
        s += "<circle cx=\"" + Num(x) + "\" cy=\"" + Num(y) + "\" r=\"8\" fill=\"#ffffff\" stroke=\"" +
             kEqColour + "\" stroke-width=\"1.5\"/>\n";
        s += Text(x, y + 4, std::to_string(number), "middle", 10, kEqColour, "bold");
    }
    s += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(kEq0) + "\" width=\"" + Num(kRight - kLeft) +
         "\" height=\"" + Num(kEq1 - kEq0) + "\" fill=\"none\" stroke=\"#9aa0a6\"/>\n";
    s += Text(kLeft, kEq0 - 8, "EQ: the fitted bands (numbered) as the processor runs them", "start", 12,
              "#3c4043");
    if (r.fBoostShortDb > 0)
        s += Text(kLeft, kHeight - 16,
                  "the dip at " + EqFitHz(r.fBoostShortHz) + " needs " + EqFitDb(r.fBoostShortDb) +
                      " more than the boost limit allows; it stays",
                  "start", 12, kLimitColour);
    return s + "</svg>\n";
}

FileResult WriteAutoEqSvg(const std::filesystem::path& path, const EqFitOutcome& outcome,
                          const std::string& title) {
    const std::string svg = AutoEqSvg(outcome, title);
    return WriteFileAtomically(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(svg.data()), svg.size()), "plot");
}
