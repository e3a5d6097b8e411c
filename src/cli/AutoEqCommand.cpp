#include "cli/AutoEqCommand.h"

#include "cli/Dump.h"
#include "cli/Language.h"
#include "cli/Suggest.h"
#include "files/AutoEqPlot.h"
#include "files/Measurement.h"
#include "model/EqIo.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

enum Exit { kExitOk = 0, kExitUsage = 2, kExitFile = 3 };

int UsageError(const std::string& why) {
    std::cerr << "m7qctl: " << why << "\n";
    return kExitUsage;
}

int FileError(const std::string& why) {
    std::cerr << "m7qctl: " << why << "\n"
              << "m7qctl: nothing was changed\n";
    return kExitFile;
}

std::optional<double> Number(std::string_view s) {
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    double v = 0;
    if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s.front())) || s.front() == '.'))
        return std::nullopt;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// "1/6" -> 6; "0", "none" and "off" -> 0.
std::optional<int> Smoothing(const std::string& s) {
    if (s == "0" || s == "none" || s == "off")
        return 0;
    if (!s.starts_with("1/"))
        return std::nullopt;
    const std::optional<double> n = Number(s.substr(2));
    if (!n || *n != std::trunc(*n) || *n < 1 || *n > 96)
        return std::nullopt;
    return static_cast<int>(*n);
}

const char* TypeName(int type) {
    static const char* const kNames[] = {"OFF", "PEQ", "LP", "HP", "LS", "HS"};
    return type >= 0 && type <= EQ_HS ? kNames[type] : "OFF";
}

std::string Title(int eq) {
    return std::string(kEqNumbers[eq].szName) + " (" + kEqShortNames[eq] + ")";
}

std::string ErrorJson(const AutoEqError& e) {
    return "{\"rms_db\":" + DumpNumber(e.fRmsDb) + ",\"max_db\":" + DumpNumber(e.fMaxDb) +
           ",\"max_hz\":" + DumpNumber(e.fMaxHz) + "}";
}

void PrintJson(int eq, const EqFitJob& job, const EqFitChannel& ch, const EqFitOutcome& o) {
    std::ostringstream out;
    out << "{\"eq\":" << DumpJsonString(kEqShortNames[eq]) << ",\"measurements\":" << job.measurements.size()
        << ",\"range_hz\":[" << DumpNumber(o.limits.fLoHz) << "," << DumpNumber(o.limits.fHiHz) << "]"
        << ",\"smoothing\":"
        << DumpJsonString(job.options.nSmoothing ? "1/" + std::to_string(job.options.nSmoothing) : "none")
        << ",\"max_boost_db\":" << DumpNumber(o.limits.fMaxBoostDb)
        << ",\"max_q\":" << DumpNumber(o.limits.fMaxQ) << ",\"bands\":[";
    for (int b = 0; b < ch.nBands; ++b) {
        const EqBandSetting& s = o.bands[b];
        out << (b ? "," : "") << "{\"band\":" << b + 1 << ",\"type\":" << DumpJsonString(TypeName(s.nType));
        if (s.nType != EQ_OFF)
            out << ",\"gain_db\":" << DumpNumber(s.fGain) << ",\"freq_hz\":" << DumpNumber(s.fFreq)
                << ",\"q\":" << DumpNumber(s.fQ);
        out << "}";
    }
    out << "],\"kept_crossover\":" << (ch.bKeepsCrossover ? DumpJsonString(ch.strCrossover) : "null")
        << ",\"level_db\":" << DumpNumber(o.fit.fLevelDb) << ",\"before\":" << ErrorJson(o.fit.before)
        << ",\"after\":" << ErrorJson(o.fit.after) << ",\"boost_short\":";
    if (o.fit.fBoostShortDb > 0)
        out << "{\"hz\":" << DumpNumber(o.fit.fBoostShortHz) << ",\"db\":" << DumpNumber(o.fit.fBoostShortDb)
            << "}";
    else
        out << "null";
    out << ",\"sent\":" << (job.bDryRun ? "false" : "true") << "}\n";
    std::cout << out.str();
}

void PrintText(int eq, const EqFitJob& job, const EqFitChannel& ch, const EqFitOutcome& o) {
    std::ostringstream out;
    const size_t n = job.measurements.size();
    out << Title(eq) << ": " << n << (n == 1 ? " measurement" : " measurements averaged") << ", "
        << (job.options.nSmoothing ? "1/" + std::to_string(job.options.nSmoothing) + "-octave smoothing"
                                   : "no smoothing")
        << ", fit " << EqFitHz(o.limits.fLoHz) << " to " << EqFitHz(o.limits.fHiHz) << ", "
        << (job.target ? "target " + job.strTargetPath : std::string("flat target")) << "\n";
    for (int b = 0; b < ch.nBands; ++b) {
        const EqBandSetting& s = o.bands[b];
        char line[96];
        if (s.nType == EQ_OFF)
            std::snprintf(line, sizeof line, "band %2d: OFF\n", b + 1);
        else
            std::snprintf(line, sizeof line, "band %2d: %-3s %+5.1f dB %6.0f Hz  Q %.3f\n", b + 1,
                          TypeName(s.nType), s.fGain, s.fFreq, s.fQ);
        out << line;
    }
    if (ch.bKeepsCrossover)
        out << "band " << kCrossoverBand + 1 << ": keeps its " << ch.strCrossover << "\n";
    out << "before: " << EqFitErrorText(o.fit.before) << "\n"
        << "after:  " << EqFitErrorText(o.fit.after) << " (predicted with the processor's filters)\n";
    if (o.fit.fBoostShortDb > 0)
        out << "the dip at " << EqFitHz(o.fit.fBoostShortHz) << " needs " << EqFitDb(o.fit.fBoostShortDb)
            << " more boost than --max-boost " << EqFitDb(o.limits.fMaxBoostDb) << " allows; it stays\n";
    out << (job.bDryRun ? "dry run: nothing sent\n"
                        : "wrote " + std::to_string(ch.nBands) + " bands to " + kEqShortNames[eq] + "\n");
    std::cout << out.str();
}

constexpr OptionRow kFitOptions[] = {
    {"--target", "", "FILE", "a target (house) curve, moved to the measured level; default flat"},
    {"--range", "", "LO-HI", "the fit range in Hz (default 20-500)"},
    {"--bands", "", "N", "at most N bands (default all; an output channel's crossover on band 10 stays)"},
    {"--max-boost", "", "DB", "no band and no point of the EQ curve above DB (default 6, up to 15)"},
    {"--max-q", "", "Q", "the largest Q (default 10, up to 30)"},
    {"--smooth", "", "1/N", "fractional-octave smoothing first (default 1/6; none)"},
    {"--dry-run", "", "", "fit and print, send and save nothing"},
    {"--export", "", "FILTERS.txt", "write the bands as a filter text"},
    {"--plot", "", "FILE.svg", "draw the measured, target and predicted responses and the EQ curve"},
};

} // namespace

std::span<const OptionRow> EqFitOptionRows() {
    return kFitOptions;
}

bool IsEqFitCommand(const std::vector<std::string>& args) {
    return args.size() >= 2 && args[0] == "eq" && args[1] == "fit";
}

int PrepareEqFit(const std::vector<std::string>& args, bool /*bJson*/, EqFitJob& job, int& eq) {
    job = EqFitJob{};
    eq = -1;
    std::vector<std::string> positional;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!a.starts_with("--")) {
            positional.push_back(a);
            continue;
        }
        if (a == "--dry-run") {
            job.bDryRun = true;
            continue;
        }
        if (i + 1 >= args.size())
            return UsageError("eq fit " + a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--target") {
            job.strTargetPath = v;
        } else if (a == "--export") {
            job.strExport = v;
        } else if (a == "--plot") {
            job.strPlot = v;
        } else if (a == "--range") {
            const size_t dash = v.find('-', 1);
            const std::optional<double> lo =
                dash == std::string::npos ? std::nullopt : Number(v.substr(0, dash));
            const std::optional<double> hi =
                dash == std::string::npos ? std::nullopt : Number(v.substr(dash + 1));
            if (!lo || !hi || *lo < 20 || *hi > 20000 || *lo * std::exp2(1.0 / 12) >= *hi)
                return UsageError("--range takes LO-HI in Hz within 20-20000, such as 20-500");
            job.options.fLoHz = *lo;
            job.options.fHiHz = *hi;
        } else if (a == "--bands") {
            const std::optional<double> n = Number(v);
            if (!n || *n != std::trunc(*n) || *n < 1 || *n > 10)
                return UsageError("--bands takes a whole number of bands from 1 to the equaliser's");
            job.options.nBands = static_cast<int>(*n);
        } else if (a == "--max-boost") {
            const std::optional<double> db = Number(v);
            if (!db || *db > kAutoEqMaxCutDb)
                return UsageError("--max-boost takes 0 to 15 dB");
            job.options.fMaxBoostDb = *db;
        } else if (a == "--max-q") {
            const std::optional<double> q = Number(v);
            if (!q || *q < 0.1 || *q > 30)
                return UsageError("--max-q takes a Q from 0.1 to 30");
            job.options.fMaxQ = *q;
        } else if (a == "--smooth") {
            const std::optional<int> n = Smoothing(v);
            if (!n)
                return UsageError("--smooth takes 1/N octave (N 1 to 96, such as 1/6) or none");
            job.options.nSmoothing = *n;
        } else {
            std::vector<std::string> names = {"--json"};
            for (const OptionRow& row : kFitOptions)
                names.push_back(row.szName);
            return UsageError(
                Say("eq fit takes --target, --range, --bands, --max-boost, --max-q, --smooth, "
                    "--dry-run, --export, --plot and --json, not " +
                        a,
                    "eq fit 的选项是 --target、--range、--bands、--max-boost、--max-q、--smooth、"
                    "--dry-run、--export、--plot 和 --json，而不是 " +
                        a) +
                DidYouMean(a, names));
        }
    }
    if (positional.size() < 2)
        return UsageError("eq fit takes an equaliser and one or more measurement files");
    eq = EqFromShortName(positional[0]);
    if (eq < 0)
        return UsageError("unknown equaliser \"" + positional[0] + "\"; the equalisers are " +
                          EqShortNameList());
    if (job.options.nBands > EqUserBands(eq))
        return UsageError(std::string(kEqShortNames[eq]) + " has " + std::to_string(EqUserBands(eq)) +
                          " bands");
    job.measurementPaths.assign(positional.begin() + 1, positional.end());
    for (const std::string& path : job.measurementPaths) {
        const MeasurementResult m = ReadMeasurementFile(path, "measurement");
        if (!m.bOk)
            return FileError((m.error.nLine > 0 ? path + ": " : "") + FormatFilterNote(m.error));
        job.measurements.push_back(m.response);
    }
    if (!job.strTargetPath.empty()) {
        const MeasurementResult t = ReadMeasurementFile(job.strTargetPath, "target curve");
        if (!t.bOk)
            return FileError((t.error.nLine > 0 ? job.strTargetPath + ": " : "") + FormatFilterNote(t.error));
        job.target = t.response;
    }
    return kExitOk;
}

int FitOnStore(int eq, EqFitJob& job) {
    job.channel = EqFitChannelOf(eq, job.options.nBands);
    job.outcome =
        RunEqFit(job.channel, job.measurements, job.target ? &*job.target : nullptr, job.options, Title(eq));
    const EqFitOutcome& o = job.outcome;
    if (!o.bOk)
        return FileError(o.strError);
    for (const std::string& w : o.warnings)
        std::cerr << "m7qctl: " << w << "\n";
    if (!job.strExport.empty())
        if (const FileResult r = WriteFilterFile(job.strExport, o.strText); !r.bOk)
            return FileError(r.strError);
    if (!job.strPlot.empty())
        if (const FileResult r = WriteAutoEqSvg(job.strPlot, o, Title(eq) + ": auto EQ"); !r.bOk)
            return FileError(r.strError);
    return kExitOk;
}

void PrintEqFit(int eq, const EqFitJob& job, bool bJson) {
    if (bJson)
        PrintJson(eq, job, job.channel, job.outcome);
    else
        PrintText(eq, job, job.channel, job.outcome);
}
